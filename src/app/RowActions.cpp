#include "app/RowActions.h"

#include "app/IRunView.h"
#include "capture/RowReport.h"
#include "support/ErrorGuard.h"
#include "support/IMessageBoxes.h"
#include "support/OperationNames.h"
#include "support/RuntimeError.h"
#include "urllist/UrlListModel.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QSaveFile>

#include <algorithm>

namespace {

using State = UrlListModel::RowState;

bool isDone(State state)
{
    return state == State::Saved || state == State::Skipped;
}

} // namespace

RowActions::RowActions(UrlListModel &list, IRunView &view, const FormServices &services, std::function<bool()> running,
                       Results results)
    : m_list(list), m_view(view), m_services(services), m_running(std::move(running)), m_results(std::move(results))
{}

QList<int> RowActions::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_list.selectionModel()->selectedRows())
        rows << index.row() + 1;
    std::sort(rows.begin(), rows.end());
    return rows;
}

int RowActions::currentRow() const
{
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? 0 : rows.first();
}

bool RowActions::anyRowIs(const std::function<bool(int row)> &test) const
{
    for (int row = 1; row <= m_list.count(); ++row) {
        if (test(row))
            return true;
    }
    return false;
}

bool RowActions::applies(Entry entry) const
{
    const int row = currentRow();
    const bool idle = !m_running();
    switch (entry) {
    case Entry::OpenFile: return row > 0 && QFileInfo(m_list.rowFile(row)).isFile();
    case Entry::OpenFolder: return row > 0 && !m_list.rowFile(row).isEmpty();
    case Entry::CopyAddress: return row > 0;
    case Entry::ShowReason: return row > 0 && !m_list.rowReason(row).isEmpty();
    case Entry::RetryRow: return row > 0 && idle;
    case Entry::RetryFailed: return idle && anyRowIs([this](int at) { return m_list.rowState(at) == State::Failed; });
    case Entry::SaveReport: return idle && anyRowIs([this](int at) { return m_list.rowState(at) != State::None; });
    case Entry::RemoveDone: return idle && anyRowIs([this](int at) { return isDone(m_list.rowState(at)); });
    case Entry::StartOver: return idle && m_list.count() > 0;
    case Entry::Options: return true;
    }
    return false;
}

void RowActions::open(const QString &operation, const QString &path)
{
    ErrorGuard guard(m_services.boxes, operation);
    guard.run(100, [&] {
        if (!m_services.openWithDesktop || !m_services.openWithDesktop(path))
            throw RuntimeError(QStringLiteral("Cannot open ") + path, RuntimeError::PathFileAccess);
    });
}

void RowActions::openFile()
{
    if (const int row = currentRow(); row > 0 && !m_list.rowFile(row).isEmpty())
        open(OperationNames::mnuOpenFile_Click, m_list.rowFile(row));
}

void RowActions::openFolder()
{
    if (const int row = currentRow(); row > 0 && !m_list.rowFile(row).isEmpty())
        open(OperationNames::mnuOpenFolder_Click, QFileInfo(m_list.rowFile(row)).absolutePath());
}

void RowActions::copyAddress()
{
    ErrorGuard guard(m_services.boxes, OperationNames::mnuCopyAddress_Click);
    const int row = currentRow();
    if (row > 0 && m_services.copyToClipboard)
        guard.run(100, [&] { m_services.copyToClipboard(m_list.text(row)); });
}

void RowActions::showReason()
{
    ErrorGuard guard(m_services.boxes, OperationNames::mnuShowReason_Click);
    const int row = currentRow();
    if (row <= 0)
        return;
    // A page that changed since the last run shows what changed.
    QString text = m_list.rowReason(row);
    for (const RowResult &result : m_results()) {
        if (result.row == row && !result.change.diff.isEmpty())
            text += QStringLiteral("\n\n") + result.change.diff;
    }
    guard.run(100, [&] { m_services.boxes.selectableInformation(text); });
}

void RowActions::saveReport()
{
    ErrorGuard guard(m_services.boxes, OperationNames::mnuSaveReport_Click);
    QString path;
    const QString start = QDir(m_view.folderText()).filePath(reportFileName());
    guard.run(100, [&] {
        if (m_services.chooseSaveFile)
            path = m_services.chooseSaveFile(reportCaption(), start);
    });
    if (guard.lineIf(102, [&] { return path.isEmpty(); }))
        return;
    guard.run(104, [&] {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            throw RuntimeError(file.errorString(), RuntimeError::PathFileAccess);
        const QList<RowResult> results = m_results();
        RowReport::Fields fields;
        fields.folder = QDir::cleanPath(m_view.folderText());
        // A run under site rules names each row's.
        fields.rule =
            std::any_of(results.begin(), results.end(), [](const RowResult &row) { return !row.rule.isEmpty(); });
        RowReport report(file, fields);
        for (RowResult result : results) {
            result.outputPath = QDir::cleanPath(result.outputPath);
            if (!report.add(result))
                throw RuntimeError(report.errorString(), RuntimeError::PathFileAccess);
        }
        if (!file.commit())
            throw RuntimeError(file.errorString(), RuntimeError::PathFileAccess);
    });
}

void RowActions::removeDone()
{
    ErrorGuard guard(m_services.boxes, OperationNames::mnuRemoveDone_Click);
    if (m_running())
        return;
    // From the last row up, so that the rows still to look at keep their numbers.
    for (int row = m_list.count(); row >= 1; --row) {
        if (isDone(m_list.rowState(row)))
            guard.run(100, [&] { m_list.remove(row); });
    }
}
