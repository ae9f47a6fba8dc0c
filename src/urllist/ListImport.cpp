#include "urllist/ListImport.h"

#include "support/ErrorGuard.h"
#include "support/IEventPump.h"
#include "support/IMessageBoxes.h"
#include "support/OperationNames.h"
#include "support/PathHelpers.h"
#include "support/RuntimeError.h"
#include "urllist/IOpenFileDialog.h"
#include "urllist/SplitListLines.h"
#include "urllist/UrlListModel.h"

#include <QFile>
#include <QPointer>

namespace {

// The whole file, read while it is open and closed before any row is added, so
// no output file or other import ever meets it open.
QByteArray readListFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(QStringLiteral("Permission denied: %1 (%2)").arg(path, file.errorString()),
                           RuntimeError::PathFileAccess);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(
            QStringLiteral("Input past end of file or unreadable: %1 (%2)").arg(path, file.errorString()),
            RuntimeError::PathFileAccess);
    return bytes;
}

} // namespace

ListImport::ListImport(UrlListModel &list, IMessageBoxes &boxes, IOpenFileDialog &dialog, IEventPump *pump)
    : m_list(list), m_boxes(boxes), m_dialog(dialog), m_pump(pump)
{}

QString ListImport::dialogTitle()
{
    return QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files");
}

QString ListImport::filter()
{
    return QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*");
}

void ListImport::chooseAndImport()
{
    ErrorGuard guard(m_boxes, OperationNames::PushButton6_Click);
    OpenFileRequest request;
    QString fileName;
    guard.run(100, [&] { request.fileName = QString(); });
    guard.run(102, [&] { request.flags = OpenFlags; });
    guard.run(104, [&] { request.title = dialogTitle(); });
    guard.run(106, [&] { request.filter = filter(); });
    guard.run(108, [&] { fileName = m_dialog.chooseFile(request); });
    if (guard.lineIf(110, [&] { return fileName.isEmpty(); }))
        return;
    QStringList parts;
    guard.run(112, [&] { parts = fileName.split(QChar(0)); });
    if (!guard.lineIf(114, [&] { return parts.size() > 1; })) {
        QString path;
        guard.run(116, [&] { path = parts.value(0); });
        guard.run(118, [&] { LoadFileToList(m_list, path, m_boxes, m_pump); });
        return;
    }
    guard.run(120, [&] { m_boxes.information(QStringLiteral("Please select just one file.")); });
}

void LoadFileToList(UrlListModel &list, const QString &path, IMessageBoxes &boxes, IEventPump *pump)
{
    if (!FileExists(path)) {
        boxes.information(QStringLiteral("File not found"));
        return;
    }
    const QByteArray bytes = readListFile(path);
    // The list outlives the import; appends stop should it go away meanwhile.
    QPointer<UrlListModel> target(&list);
    SplitListLines(
        bytes,
        [pump] {
            if (pump)
                pump->processPendingEvents();
        },
        [&target](const QString &row) {
            if (target)
                target->append(row);
        });
}
