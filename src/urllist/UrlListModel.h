#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QVector>

class QItemSelectionModel;

// The URL list: rows of address text exactly as supplied, in order of adding,
// and the column headers of the list view that shows them.
class UrlListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // How a row's last run went: shown beside the row, with its reason as the row's tooltip.
    // Stopped (loading when the run was stopped) and NotInRun (added during a
    // run) are not done, as None is: a continued run loads them.
    enum class RowState { None, Loading, Saved, Failed, Skipped, Stopped, NotInRun };
    static bool isDone(RowState state)
    {
        return state == RowState::Saved || state == RowState::Failed || state == RowState::Skipped;
    }
    // The data role that gives a row's state, as an int.
    static constexpr int RowStateRole = Qt::UserRole + 1;
    // The data role that gives how a saved row's text stands to the last run's
    // ("new", "changed", "same"), or an empty text.
    static constexpr int RowChangeRole = Qt::UserRole + 2;

    explicit UrlListModel(QObject *parent = nullptr);

    // Rows, numbered from 1.
    void append(const QString &text);
    void appendRows(const QStringList &texts);
    int count() const;
    QString text(int row) const;
    void remove(int row);
    void clear();
    // The number of the selected row, or 0 when none is selected.
    int selectedRow() const;
    void select(int row);
    QItemSelectionModel *selectionModel() const { return m_selection; }
    QStringList rows() const { return m_rows; }
    // `file`: the file the run saved the row as.
    void setRowState(int row, RowState state, const QString &reason = {}, const QString &file = {});
    RowState rowState(int row) const;
    QString rowReason(int row) const;
    QString rowFile(int row) const;
    // How the row's text stands to the last run's, after its state is set.
    void setRowChange(int row, const QString &change);
    QString rowChange(int row) const;
    void clearRowStates();

    // Column headers, numbered from 1; widths in twips.
    void addColumnHeader(const QString &text);
    int columnHeaderCount() const;
    QString columnHeaderText(int column) const;
    double columnWidth(int column) const;
    void setColumnWidth(int column, double twips);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;

Q_SIGNALS:
    void columnWidthChanged(int column, double twips);

private:
    struct Column {
        QString text;
        double width;
    };

    // Views learn of rows appended in a burst (an import) in batches, so a long
    // import does not redo their layout once per row.
    void announcePending();
    void checkRow(int row) const;
    void checkColumn(int column) const;

    struct RowMark {
        RowState state = RowState::None;
        QString reason;
        QString file;
        QString change;
    };

    QStringList m_rows;
    QVector<RowMark> m_marks; // of the first rows; later rows have none
    int m_announced = 0;
    int m_burstRows = 0;
    QElapsedTimer m_burst;
    QTimer m_flush;
    QVector<Column> m_columns;
    QItemSelectionModel *m_selection;
};
