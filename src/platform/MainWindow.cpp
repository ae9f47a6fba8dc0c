#include "platform/MainWindow.h"

#include "app/Form1.h"
#include "app/MousePointer.h"
#include "platform/CaptionProgressBar.h"
#include "platform/ColourValue.h"
#include "platform/CursorFile.h"
#include "platform/Twips.h"
#include "platform/UrlListView.h"
#include "urllist/UrlListModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>

namespace {

QFont formFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.0);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

void paintBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void paintWhite(QWidget *widget)
{
    paintBackground(widget, Qt::white);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Button, Qt::white);
    widget->setPalette(palette);
}

} // namespace

// The resources of a static library are registered by hand.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

MainWindow::MainWindow(UrlListModel &list, QWidget *parent)
    : QWidget(parent,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                  | Qt::WindowCloseButtonHint),
      m_list(list)
{
    registerResources();
    setObjectName(QStringLiteral("Form1"));
    setFont(formFont());
    paintWhite(this);
    setFixedSize(clientSize());
    setMouseTracking(true);
    buildControls();
    setTabOrder();
    syncColumnWidths();
    connect(&m_list, &UrlListModel::columnWidthChanged, this, &MainWindow::syncColumnWidths);
    connect(&m_list, &QAbstractItemModel::columnsInserted, this, &MainWindow::syncColumnWidths);
}

QSize MainWindow::clientSize()
{
    return {Twips::toPixels(8040), Twips::toPixels(5655)};
}

QString MainWindow::listToolTip()
{
    return QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line "
                          "to right and out of window to reveal full names.");
}

QPushButton *MainWindow::makeButton(const QString &text, const QRect &twips, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFont(buttonFont());
    button->setGeometry(twips);
    button->setAutoDefault(false);
    paintWhite(button);
    watchHover(button);
    return button;
}

void MainWindow::buildControls()
{
    m_frame = new QGroupBox(QStringLiteral("Save Results To This Folder"), this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setGeometry(Twips::rect(120, 3700, 7800, 800));
    paintWhite(m_frame);
    watchHover(m_frame);

    m_folderBox = new QLineEdit(m_frame);
    m_folderBox->setObjectName(QStringLiteral("Text1"));
    m_folderBox->setGeometry(Twips::rect(240, 300, 6615, 345));

    m_browse = makeButton(QStringLiteral("..."), Twips::rect(6960, 300, 615, 345), m_frame);
    m_browse->setObjectName(QStringLiteral("PushButton8"));

    m_listView = new UrlListView(this);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setGeometry(Twips::rect(120, 120, 7800, 2535));
    m_listView->setModel(&m_list);
    m_listView->setSelectionModel(m_list.selectionModel());
    m_listView->setToolTip(listToolTip());
    watchHover(m_listView);
    watchHover(m_listView->viewport());
    watchHover(m_listView->header());
    watchHover(m_listView->header()->viewport());

    m_progressBar = new CaptionProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setGeometry(Twips::rect(120, 5145, 7800, 405));
    m_progressBar->setCaption(QStringLiteral("Progress Bar"));
    paintWhite(m_progressBar);

    m_addOne = makeButton(QStringLiteral("Add One URL"), Twips::rect(120, 2750, 3840, 405), this);
    m_addOne->setObjectName(QStringLiteral("PushButton1"));
    m_loadList = makeButton(QStringLiteral("Load List Of URLs"), Twips::rect(4080, 2750, 3840, 405), this);
    m_loadList->setObjectName(QStringLiteral("PushButton6"));
    m_samples = makeButton(QStringLiteral("Load Sample/Example Sites"), Twips::rect(4080, 3260, 3840, 405), this);
    m_samples->setObjectName(QStringLiteral("PushButton4"));
    m_clear = makeButton(QStringLiteral("Clear List"), Twips::rect(120, 3260, 3840, 405), this);
    m_clear->setObjectName(QStringLiteral("PushButton7"));
    m_start = makeButton(QStringLiteral("Start Saving As Text Files"), Twips::rect(120, 4620, 7800, 405), this);
    m_start->setObjectName(QStringLiteral("PushButton2"));
}

void MainWindow::setTabOrder()
{
    m_progressBar->setFocusPolicy(Qt::NoFocus);
    m_frame->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> order = {m_listView, m_folderBox, m_browse, m_addOne,
                                    m_loadList, m_samples,   m_clear,  m_start};
    for (int i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order.at(i), order.at(i + 1));
    m_listView->setFocus();
}

QList<QPushButton *> MainWindow::pushButtons() const
{
    return {m_addOne, m_start, m_samples, m_loadList, m_clear, m_browse};
}

void MainWindow::setLogic(Form1 *logic)
{
    m_logic = logic;
    connectHandlers();
}

void MainWindow::connectHandlers()
{
    connect(m_addOne, &QPushButton::clicked, this, [this] { m_logic->PushButton1_Click(); });
    connect(m_start, &QPushButton::clicked, this, [this] { m_logic->PushButton2_Click(); });
    connect(m_samples, &QPushButton::clicked, this, [this] { m_logic->PushButton4_Click(); });
    connect(m_loadList, &QPushButton::clicked, this, [this] { m_logic->PushButton6_Click(); });
    connect(m_clear, &QPushButton::clicked, this, [this] { m_logic->PushButton7_Click(); });
    connect(m_browse, &QPushButton::clicked, this, [this] { m_logic->PushButton8_Click(); });
    connect(m_listView, &UrlListView::keyDown, this,
            [this](int keyCode, int shift) { m_logic->ListView1_KeyDown(keyCode, shift); });
    connect(m_listView, &UrlListView::listDoubleClicked, this, [this] { m_logic->ListView1_DblClick(); });
    connect(m_folderBox, &QLineEdit::textChanged, this, [this] { m_logic->Text1_Change(); });
    // Escape anywhere in the window, whichever control has the focus, but only
    // while no box is open: an Escape meant for a box never stops a run.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (isActiveWindow() && !QApplication::activeModalWidget())
            m_logic->Form_KeyDown(27, 0);
    });
    auto *options = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), this);
    options->setContext(Qt::WindowShortcut);
    connect(options, &QShortcut::activated, this, [this] { m_logic->mnuOptions_Click(); });
    connect(m_listView, &UrlListView::menuRequested, this,
            [this](bool onRow, const QPoint &globalPos) { contextMenu(onRow)->popup(globalPos); });
    connect(m_listView, &UrlListView::dropped, this, [this](const QStringList &files, const QStringList &texts) {
        m_logic->ListView1_OLEDragDrop(files, texts);
    });
}

QMenu *MainWindow::contextMenu(bool onRow)
{
    using Entry = RowActions::Entry;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [&](const QString &text, Entry entry, void (Form1::*handler)()) {
        QAction *action = menu->addAction(text, this, [this, handler] { (m_logic->*handler)(); });
        action->setEnabled(m_logic->menuEntryApplies(entry));
    };
    if (onRow) {
        add(QStringLiteral("Open File"), Entry::OpenFile, &Form1::mnuOpenFile_Click);
        add(QStringLiteral("Open Folder"), Entry::OpenFolder, &Form1::mnuOpenFolder_Click);
        add(QStringLiteral("Copy Address"), Entry::CopyAddress, &Form1::mnuCopyAddress_Click);
        add(QStringLiteral("Show Reason"), Entry::ShowReason, &Form1::mnuShowReason_Click);
        add(QStringLiteral("Retry This Row"), Entry::RetryRow, &Form1::mnuRetryRow_Click);
        menu->addSeparator();
    }
    add(QStringLiteral("Retry Failed Rows"), Entry::RetryFailed, &Form1::mnuRetryFailed_Click);
    add(QStringLiteral("Save Report\u2026"), Entry::SaveReport, &Form1::mnuSaveReport_Click);
    add(QStringLiteral("Remove Done Rows"), Entry::RemoveDone, &Form1::mnuRemoveDone_Click);
    menu->addSeparator();
    add(QStringLiteral("Start Over"), Entry::StartOver, &Form1::mnuStartOver_Click);
    // The shortcut itself belongs to the window; the menu only names it.
    add(QStringLiteral("Options\u2026\tCtrl+,"), Entry::Options, &Form1::mnuOptions_Click);
    return menu;
}

void MainWindow::watchHover(QWidget *widget)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Ignored moves travel on to the parent: each handler acts only on moves
    // over its own area, not on those its children pass up.
    if (event->type() == QEvent::MouseMove && m_logic) {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (watched == m_frame) {
            if (!m_frame->childAt(move->position().toPoint()))
                m_logic->Frame1_MouseMove();
        } else if (pushButtons().contains(qobject_cast<QPushButton *>(watched)))
            m_logic->PushButton_MouseMove();
        else
            m_logic->ListView1_MouseMove();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_logic && !childAt(event->position().toPoint()))
        m_logic->Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

bool MainWindow::event(QEvent *event)
{
    // A modal box holds the run (one thread): the caption says so while it is open.
    if (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowUnblocked)
        showPaused(event->type() == QEvent::WindowBlocked);
    return QWidget::event(event);
}

void MainWindow::showPaused(bool paused)
{
    if (paused && m_logic && m_logic->isBusy()) {
        m_captionBeforePause = progressCaption();
        setProgressCaption(m_captionBeforePause + pausedSuffix());
    } else if (!paused && !m_captionBeforePause.isNull()) {
        if (progressCaption() == m_captionBeforePause + pausedSuffix())
            setProgressCaption(m_captionBeforePause);
        m_captionBeforePause = QString();
    }
}

QString MainWindow::pausedSuffix()
{
    return QStringLiteral(" – paused while a dialog is open");
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_logic)
        m_logic->Form_Unload();
    QWidget::closeEvent(event);
}

void MainWindow::setMousePointer(int value)
{
    if (value == m_mousePointer)
        return;
    m_mousePointer = value;
    applyPointer();
}

void MainWindow::applyPointer()
{
    switch (m_mousePointer) {
    case MousePointer::Hourglass: setCursor(Qt::WaitCursor); break;
    case MousePointer::Custom:
        if (m_mouseIcon)
            setCursor(*m_mouseIcon);
        else
            unsetCursor();
        break;
    default: unsetCursor(); break;
    }
}

void MainWindow::setMouseIcon(const QCursor &cursor)
{
    m_mouseIcon = cursor;
    applyPointer();
}

QString MainWindow::folderText() const
{
    return m_folderBox->text();
}

void MainWindow::setFolderText(const QString &text)
{
    m_folderBox->setText(text);
}

int MainWindow::progressValue() const
{
    return m_progressBar->value();
}

void MainWindow::setProgressValue(int value)
{
    m_progressBar->setValue(value);
}

QString MainWindow::progressCaption() const
{
    return m_progressBar->caption();
}

void MainWindow::setProgressCaption(const QString &caption)
{
    m_progressBar->setCaption(caption);
}

void MainWindow::showRow(int row)
{
    // Followed while the row shown before is in view: a user who scrolled away stays there.
    const auto inView = [this](int shown) {
        const QRect rect = m_listView->visualRect(m_list.index(shown - 1, 0));
        return rect.isValid() && m_listView->viewport()->rect().intersects(rect);
    };
    if (row <= 0 || row > m_list.rowCount()) {
        m_followedRow = 0;
        return;
    }
    if (m_followedRow == 0 || m_followedRow > m_list.rowCount() || inView(m_followedRow))
        m_listView->scrollTo(m_list.index(row - 1, 0), QAbstractItemView::EnsureVisible);
    m_followedRow = row;
}

void MainWindow::setRunPhase(RunPhase phase)
{
    m_clear->setEnabled(phase == RunPhase::Idle);
    m_start->setEnabled(phase != RunPhase::Stopping);
}

QString MainWindow::caption() const
{
    return windowTitle();
}

void MainWindow::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void MainWindow::syncColumnWidths()
{
    for (int column = 1; column <= m_list.columnHeaderCount(); ++column)
        m_listView->setColumnWidth(column - 1, Twips::toPixels(m_list.columnWidth(column)));
}

void MainWindow::setBackColor(quint32 colour)
{
    paintBackground(this, ColourValue::toColor(colour, QApplication::palette()));
}

void MainWindow::setPlainControlsBackColor(quint32 colour)
{
    paintBackground(m_frame, ColourValue::toColor(colour, QApplication::palette()));
}

void MainWindow::loadMouseIcon(const QString &cursorFile)
{
    setMouseIcon(CursorFile::load(cursorFile));
}

void MainWindow::setProductIcon()
{
    setWindowIcon(QIcon(QStringLiteral(":/textorin/textorin.ico")));
}

quintptr MainWindow::windowHandle() const
{
    return quintptr(winId());
}
