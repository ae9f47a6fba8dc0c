#pragma once

#include "app/FormServices.h"
#include "capture/RowResult.h"

#include <QList>
#include <QString>

#include <functional>

class IRunView;
class UrlListModel;

// What the list's menus do to its rows: the selected row's file, folder,
// address and reason, the run's report, and removing the rows done. Each
// operation runs in its handler's error guard.
class RowActions
{
public:
    enum class Entry {
        OpenFile,
        OpenFolder,
        CopyAddress,
        ShowReason,
        RetryRow,
        RetryFailed,
        SaveReport,
        RemoveDone,
        StartOver,
        Options
    };
    using Results = std::function<QList<RowResult>()>;

    // `running`: whether a run is going on; `results`: the run's rows, for the report.
    RowActions(UrlListModel &list, IRunView &view, const FormServices &services, std::function<bool()> running,
               Results results);

    // Whether the entry applies now (to the selected rows, for a row's entries).
    bool applies(Entry entry) const;
    // The selected rows, numbered from 1, in order.
    QList<int> selectedRows() const;

    void openFile();
    void openFolder();
    void copyAddress();
    void showReason();
    void saveReport();
    void removeDone();

    static QString reportCaption() { return QStringLiteral("Save Report"); }
    static QString reportFileName() { return QStringLiteral("textorin-report.jsonl"); }

private:
    int currentRow() const;
    bool anyRowIs(const std::function<bool(int row)> &test) const;
    void open(const QString &operation, const QString &path);

    UrlListModel &m_list;
    IRunView &m_view;
    FormServices m_services;
    std::function<bool()> m_running;
    Results m_results;
};
