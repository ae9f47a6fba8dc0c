#pragma once

#include "app/IFormView.h"

#include <QCursor>
#include <QWidget>

#include <optional>

class CaptionProgressBar;
class Form1;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class UrlListModel;
class UrlListView;

// The main window Form1: the URL list, its commands, the folder box, the start
// button and the progress bar, at fixed positions.
class MainWindow : public QWidget, public IFormView
{
    Q_OBJECT

public:
    explicit MainWindow(UrlListModel &list, QWidget *parent = nullptr);

    void setLogic(Form1 *logic);

    int mousePointer() const override { return m_mousePointer; }
    void setMousePointer(int value) override;
    QString folderText() const override;
    void setFolderText(const QString &text) override;
    int progressValue() const;
    void setProgressValue(int value) override;
    QString progressCaption() const;
    void setProgressCaption(const QString &caption) override;
    void showRow(int row) override;
    void setRunPhase(RunPhase phase) override;
    QString caption() const;
    void setCaption(const QString &caption) override;

    void setBackColor(quint32 colour) override;
    void setPlainControlsBackColor(quint32 colour) override;
    void loadMouseIcon(const QString &cursorFile) override;
    bool hasMouseIcon() const { return m_mouseIcon.has_value(); }
    void setProductIcon() override;
    quintptr windowHandle() const override;

    // The custom pointer image shown for pointer value 99.
    void setMouseIcon(const QCursor &cursor);

    static QSize clientSize();
    static QString listToolTip();
    // Added to the progress caption while a box holds a run.
    static QString pausedSuffix();

    UrlListView *ListView1() const { return m_listView; }
    QGroupBox *Frame1() const { return m_frame; }
    QLineEdit *Text1() const { return m_folderBox; }
    CaptionProgressBar *ProgressBar1() const { return m_progressBar; }
    QPushButton *PushButton1() const { return m_addOne; }
    QPushButton *PushButton2() const { return m_start; }
    QPushButton *PushButton4() const { return m_samples; }
    QPushButton *PushButton6() const { return m_loadList; }
    QPushButton *PushButton7() const { return m_clear; }
    QPushButton *PushButton8() const { return m_browse; }
    QList<QPushButton *> pushButtons() const;
    // The list's context menu, not yet shown: a row's entries first when
    // `onRow`, then the list's; those that do not apply greyed. It deletes
    // itself once closed.
    QMenu *contextMenu(bool onRow);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QPushButton *makeButton(const QString &text, const QRect &twips, QWidget *parent);
    void buildControls();
    void setTabOrder();
    void connectHandlers();
    void watchHover(QWidget *widget);
    void applyPointer();
    void syncColumnWidths();
    void showPaused(bool paused);

    UrlListModel &m_list;
    Form1 *m_logic = nullptr;
    int m_mousePointer = 0;
    std::optional<QCursor> m_mouseIcon;
    int m_followedRow = 0; // the row a run last showed
    QString m_captionBeforePause;

    UrlListView *m_listView = nullptr;
    QGroupBox *m_frame = nullptr;
    QLineEdit *m_folderBox = nullptr;
    CaptionProgressBar *m_progressBar = nullptr;
    QPushButton *m_addOne = nullptr;
    QPushButton *m_loadList = nullptr;
    QPushButton *m_samples = nullptr;
    QPushButton *m_clear = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_browse = nullptr;
};
