#pragma once

#include <QTableView>

// The list view of the URL list: a report view with one draggable column header.
// A table view keeps appending cheap however long the list grows.
class UrlListView : public QTableView
{
    Q_OBJECT

public:
    explicit UrlListView(QWidget *parent = nullptr);

    QHeaderView *header() const { return horizontalHeader(); }

    // Shift state bits of a key event: 1 Shift, 2 Ctrl, 4 Alt.
    static int shiftState(Qt::KeyboardModifiers modifiers);
    // Key code of a key event in the list's numbering (Delete 46, Backspace 8).
    static int keyCode(int qtKey);

Q_SIGNALS:
    void keyDown(int keyCode, int shift);
    void listDoubleClicked();
    // Local files, and the links or texts that came with a drop.
    void dropped(const QStringList &files, const QStringList &texts);
    // A right-click, the menu key or Shift+F10: the menu of the row there (or
    // the current row), else of the list, at a point of the screen.
    void menuRequested(bool onRow, const QPoint &globalPos);

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void requestMenuAtCurrentRow();

    // A platform that sends the menu key as a context menu event sends the key too.
    bool m_menuKeyHandled = false;

public:
    static bool canTake(const QMimeData *data);
    static void split(const QMimeData *data, QStringList &files, QStringList &texts);
};
