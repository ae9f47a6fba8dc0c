#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

// Draws each row of the URL list with the icon of its last run's outcome
// (loading, saved, failed, skipped, stopped, not in this run) before its text.
class RowStateDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The icon of a state of UrlListModel::RowState; null for none.
    static QIcon icon(int state, int size);
    // A saved row's icon tells a text changed since the last run ("changed") from one the same ("same").
    static QIcon icon(int state, int size, const QString &change);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
