#include "urllist/UrlListModel.h"

#include "support/RuntimeError.h"
#include "urllist/RowDisplayText.h"

#include <QItemSelectionModel>

namespace {

// The list view's default column width: 1440 twips (one inch).
constexpr double DefaultColumnWidth = 1440.0;
// Rows shown at once within one burst before the rest are batched.
constexpr int ImmediateRows = 64;
constexpr int BurstWindowMs = 50;
constexpr int FlushIntervalMs = 40;

RuntimeError indexOutOfBounds()
{
    return RuntimeError(QStringLiteral("Index out of bounds"), 35600);
}

} // namespace

UrlListModel::UrlListModel(QObject *parent)
    : QAbstractTableModel(parent), m_selection(new QItemSelectionModel(this, this))
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(FlushIntervalMs);
    connect(&m_flush, &QTimer::timeout, this, &UrlListModel::announcePending);
    m_burst.start();
}

void UrlListModel::append(const QString &text)
{
    if (m_burst.elapsed() > BurstWindowMs) {
        m_burst.restart();
        m_burstRows = 0;
    }
    m_rows.append(text);
    if (++m_burstRows <= ImmediateRows)
        announcePending();
    else if (!m_flush.isActive())
        m_flush.start();
}

void UrlListModel::appendRows(const QStringList &texts)
{
    m_rows.append(texts);
    announcePending();
}

void UrlListModel::announcePending()
{
    m_flush.stop();
    const int total = int(m_rows.size());
    if (m_announced >= total)
        return;
    beginInsertRows(QModelIndex(), m_announced, total - 1);
    m_announced = total;
    endInsertRows();
}

int UrlListModel::count() const
{
    return int(m_rows.size());
}

QString UrlListModel::text(int row) const
{
    checkRow(row);
    return m_rows.at(row - 1);
}

void UrlListModel::remove(int row)
{
    checkRow(row);
    announcePending();
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    m_rows.removeAt(row - 1);
    if (row <= m_marks.size())
        m_marks.removeAt(row - 1);
    --m_announced;
    endRemoveRows();
}

void UrlListModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_flush.stop();
    m_rows.clear();
    m_marks.clear();
    m_announced = 0;
    endResetModel();
}

void UrlListModel::setRowState(int row, RowState state, const QString &reason, const QString &file)
{
    checkRow(row);
    if (m_marks.size() < row)
        m_marks.resize(row);
    m_marks[row - 1] = {state, reason, file, {}};
    if (row <= m_announced) {
        const QModelIndex at = index(row - 1, 0);
        Q_EMIT dataChanged(at, at, {RowStateRole, Qt::ToolTipRole});
    }
}

void UrlListModel::setRowChange(int row, const QString &change)
{
    checkRow(row);
    if (m_marks.size() < row)
        m_marks.resize(row);
    m_marks[row - 1].change = change;
    if (row <= m_announced) {
        const QModelIndex at = index(row - 1, 0);
        Q_EMIT dataChanged(at, at, {RowChangeRole});
    }
}

QString UrlListModel::rowChange(int row) const
{
    checkRow(row);
    return row <= m_marks.size() ? m_marks.at(row - 1).change : QString();
}

UrlListModel::RowState UrlListModel::rowState(int row) const
{
    checkRow(row);
    return row <= m_marks.size() ? m_marks.at(row - 1).state : RowState::None;
}

QString UrlListModel::rowReason(int row) const
{
    checkRow(row);
    return row <= m_marks.size() ? m_marks.at(row - 1).reason : QString();
}

QString UrlListModel::rowFile(int row) const
{
    checkRow(row);
    return row <= m_marks.size() ? m_marks.at(row - 1).file : QString();
}

void UrlListModel::clearRowStates()
{
    const int marked = int(qMin(m_marks.size(), qsizetype(m_announced)));
    m_marks.clear();
    if (marked > 0)
        Q_EMIT dataChanged(index(0, 0), index(marked - 1, 0), {RowStateRole, Qt::ToolTipRole});
}

int UrlListModel::selectedRow() const
{
    const QModelIndexList selected = m_selection->selectedRows();
    if (selected.isEmpty())
        return 0;
    return selected.first().row() + 1;
}

void UrlListModel::select(int row)
{
    announcePending();
    if (row < 1 || row > count() || m_columns.isEmpty()) {
        m_selection->clearSelection();
        return;
    }
    const QModelIndex at = index(row - 1, 0);
    m_selection->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void UrlListModel::addColumnHeader(const QString &text)
{
    const int column = int(m_columns.size());
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.append({text, DefaultColumnWidth});
    endInsertColumns();
}

int UrlListModel::columnHeaderCount() const
{
    return int(m_columns.size());
}

QString UrlListModel::columnHeaderText(int column) const
{
    checkColumn(column);
    return m_columns.at(column - 1).text;
}

double UrlListModel::columnWidth(int column) const
{
    checkColumn(column);
    return m_columns.at(column - 1).width;
}

void UrlListModel::setColumnWidth(int column, double twips)
{
    checkColumn(column);
    m_columns[column - 1].width = twips;
    Q_EMIT columnWidthChanged(column, twips);
}

int UrlListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int UrlListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant UrlListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_announced || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole)
        return RowDisplayText::visible(m_rows.at(index.row()));
    if (role == Qt::EditRole)
        return m_rows.at(index.row());
    const RowMark mark = index.row() < m_marks.size() ? m_marks.at(index.row()) : RowMark();
    if (role == RowStateRole)
        return int(mark.state);
    if (role == RowChangeRole)
        return mark.change;
    if (role == Qt::ToolTipRole && !mark.reason.isEmpty())
        return RowDisplayText::toolTip(mark.reason);
    return {};
}

QVariant UrlListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns.at(section).text;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags UrlListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QStringList UrlListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), QStringLiteral("text/plain")};
}

Qt::DropActions UrlListModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::LinkAction;
}

void UrlListModel::checkRow(int row) const
{
    if (row < 1 || row > count())
        throw indexOutOfBounds();
}

void UrlListModel::checkColumn(int column) const
{
    if (column < 1 || column > m_columns.size())
        throw indexOutOfBounds();
}
