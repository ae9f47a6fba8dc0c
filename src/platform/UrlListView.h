#pragma once

#include <QTreeView>

// The list view of the URL list: a report view with one draggable column header.
class UrlListView : public QTreeView
{
    Q_OBJECT

public:
    explicit UrlListView(QWidget *parent = nullptr);

    // Shift state bits of a key event: 1 Shift, 2 Ctrl, 4 Alt.
    static int shiftState(Qt::KeyboardModifiers modifiers);
    // Key code of a key event in the list's numbering (Delete 46, Backspace 8).
    static int keyCode(int qtKey);

Q_SIGNALS:
    void keyDown(int keyCode, int shift);
    void listDoubleClicked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
