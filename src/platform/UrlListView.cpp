#include "platform/UrlListView.h"

#include "platform/RowStateDelegate.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>

#include <utility>

UrlListView::UrlListView(QWidget *parent) : QTableView(parent)
{
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab moves on to the window's next control, not to the next row.
    setTabKeyNavigation(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTextElideMode(Qt::ElideNone);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    horizontalHeader()->setVisible(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setItemDelegate(new RowStateDelegate(this));
}

void UrlListView::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
}

int UrlListView::shiftState(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

int UrlListView::keyCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Delete: return 46;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    default:
        // Letters and digits keep their codes; other keys have none the list acts on.
        if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
            return qtKey;
        return 0;
    }
}

void UrlListView::keyPressEvent(QKeyEvent *event)
{
    const bool menuKey = event->key() == Qt::Key_Menu;
    if (menuKey || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        if (!(menuKey && std::exchange(m_menuKeyHandled, false)))
            requestMenuAtCurrentRow();
        event->accept();
        return;
    }
    Q_EMIT keyDown(keyCode(event->key()), shiftState(event->modifiers()));
    QTableView::keyPressEvent(event);
}

QModelIndex UrlListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Home and End go to the first and last row, not to the row's first and last column.
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void UrlListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    Q_EMIT listDoubleClicked();
}

void UrlListView::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        m_menuKeyHandled = true;
        requestMenuAtCurrentRow();
        return;
    }
    const QModelIndex at = indexAt(event->pos());
    if (at.isValid() && !selectionModel()->isRowSelected(at.row(), at.parent()))
        selectionModel()->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (at.isValid())
        setCurrentIndex(at);
    Q_EMIT menuRequested(at.isValid(), event->globalPos());
}

void UrlListView::requestMenuAtCurrentRow()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        Q_EMIT menuRequested(false, viewport()->mapToGlobal(QPoint(0, 0)));
        return;
    }
    scrollTo(current);
    if (!selectionModel()->isRowSelected(current.row(), current.parent()))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Q_EMIT menuRequested(true, viewport()->mapToGlobal(visualRect(current).bottomLeft()));
}

bool UrlListView::canTake(const QMimeData *data)
{
    return data && (data->hasUrls() || data->hasText());
}

void UrlListView::split(const QMimeData *data, QStringList &files, QStringList &texts)
{
    if (data->hasUrls()) {
        for (const QUrl &url : data->urls()) {
            if (url.isLocalFile())
                files << url.toLocalFile();
            else
                texts << url.toString();
        }
        return;
    }
    // Each line of a dropped text is a row, as each line of a dropped list file is.
    for (const QString &line : data->text().split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        if (!line.trimmed().isEmpty())
            texts << line.trimmed();
    }
}

void UrlListView::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void UrlListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (canTake(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void UrlListView::dropEvent(QDropEvent *event)
{
    if (!canTake(event->mimeData())) {
        event->ignore();
        return;
    }
    QStringList files;
    QStringList texts;
    split(event->mimeData(), files, texts);
    event->acceptProposedAction();
    Q_EMIT dropped(files, texts);
}
