#include "batch/BatchRun.h"

#include "batch/ChunkMessageBoxes.h"
#include "batch/ConsoleMessageBoxes.h"
#include "batch/ConsoleRunView.h"
#include "batch/ListRows.h"
#include "batch/ProgressLine.h"
#include "batch/SavedRows.h"
#include "capture/CaptureRun.h"
#include "capture/OutputFile.h"
#include "capture/OutputNames.h"
#include "engine/IPage.h"
#include "engine/PageAddress.h"
#include "support/IEventPump.h"
#include "support/PathHelpers.h"
#include "urllist/UrlListModel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QHash>
#include <QScopeGuard>

namespace {

// The text a chunk holds at most, so that a chunk of long rows stays small.
constexpr qsizetype MaxChunkChars = 8 * 1024 * 1024;

// The first characters of a row too long to show, unprintable ones replaced.
QString addressStart(const QString &text)
{
    constexpr qsizetype Shown = 80;
    qsizetype size = qMin(text.size(), Shown);
    if (size > 0 && size < text.size() && text.at(size - 1).isHighSurrogate())
        --size;
    QString start = text.left(size);
    for (QChar &character : start) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return start + QStringLiteral("…");
}

// A row's error report as its line shows it: on one line, without the address.
QString failureReason(const QString &url, const QString &report)
{
    const QString address = PageAddress::shown(url) + QStringLiteral(": ");
    QString reason = report;
    for (const QString &prefix : {QStringLiteral("Could not load ") + address, address}) {
        if (reason.startsWith(prefix)) {
            reason.remove(0, prefix.size());
            break;
        }
    }
    return reason.simplified();
}

} // namespace

BatchRun::BatchRun(IPage &browser, IEventPump &pump, QTextStream &out, QTextStream &err)
    : m_browser(browser), m_pump(pump), m_out(out), m_err(err)
{
}

QString BatchRun::rowPrefix(qint64 row, qint64 total)
{
    return QStringLiteral("[%1/%2] ").arg(row).arg(total < 0 ? QStringLiteral("?") : QString::number(total));
}

void BatchRun::printRow(qint64 row, qint64 total, const QString &url, bool saved,
                        const QString &outputPath, const QString &note)
{
    if (saved && m_quiet)
        return;
    if (m_progress)
        m_progress->hideForOut();
    m_out << rowPrefix(row, total) << (saved ? "saved " : "FAILED ") << url;
    if (saved)
        m_out << " -> " << outputPath;
    if (!note.isEmpty())
        m_out << " (" << note << ')';
    m_out << Qt::endl;
}

void BatchRun::printSkipped(qint64 row, qint64 total, const QString &url, const QString &reason)
{
    if (m_quiet)
        return;
    if (m_progress)
        m_progress->hideForOut();
    m_out << rowPrefix(row, total) << "skipped " << url << " (" << reason << ')' << Qt::endl;
}

int BatchRun::shardOf(const QString &fileName, int shards)
{
    const QByteArray digest = QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha256);
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | quint8(digest.at(i));
    return int(value % quint64(shards)) + 1;
}

bool BatchRun::inShard(const QString &row) const
{
    return m_shards <= 1 || shardOf(MakeOutputFileName(row, m_format->extension), m_shards) == m_shard;
}

qint64 BatchRun::shownTotal(const ListRows &rows) const
{
    // A shard's rows are known only once the lists are read.
    return m_shards > 1 ? -1 : rows.total();
}

void BatchRun::writeReport(const RowRecord &record)
{
    if (!m_report)
        return;
    const QFileInfo file(record.file);
    QJsonObject line{
        {QStringLiteral("row"), record.row},
        {QStringLiteral("address"), record.address},
        {QStringLiteral("outcome"), record.outcome},
        {QStringLiteral("file"), record.file.isEmpty() ? QJsonValue() : QJsonValue(file.fileName())},
        {QStringLiteral("bytes"), record.outcome == QLatin1String("saved") ? QJsonValue(file.size()) : QJsonValue()},
        {QStringLiteral("http_status"), record.httpStatus > 0 ? QJsonValue(record.httpStatus) : QJsonValue()},
        {QStringLiteral("reason"), record.reason.isEmpty() ? QJsonValue() : QJsonValue(record.reason)},
        {QStringLiteral("ms"), record.ms},
        {QStringLiteral("tries"), record.tries},
    };
    if (m_mainContent)
        line.insert(QStringLiteral("fallback"), record.fallback);
    m_report->write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    m_report->flush();
}

void BatchRun::printSummary()
{
    if (m_progress)
        m_progress->hideForOut();
    m_out << "Saved " << m_saved << ", failed " << m_failed << ", skipped "
          << (m_rows ? m_rows->skipped() : 0) + m_skippedRows << '.' << Qt::endl;
}

void BatchRun::printStoppedBySignal()
{
    if (m_progress)
        m_progress->finish();
    m_out << "Stopped by signal." << Qt::endl;
    printSummary();
}

void BatchRun::showProgress()
{
    if (!m_progress || !m_rows)
        return;
    ProgressLine::State state;
    state.done = m_saved + m_failed + m_skippedRows;
    state.total = shownTotal(*m_rows);
    state.saved = m_saved;
    state.failed = m_failed;
    m_progress->update(state);
}

int BatchRun::run(const QStringList &listFiles, const QString &folder)
{
    // Every list is checked before any row runs.
    for (const QString &listFile : listFiles) {
        const QString problem = ListRows::problem(listFile);
        if (!problem.isEmpty()) {
            m_err << problem << Qt::endl;
            return NothingRun;
        }
    }
    ListRows rows(m_addresses, listFiles, m_stdin, m_err);
    rows.setAfterRead([this] { m_pump.processPendingEvents(); });
    m_rows = &rows;
    m_saved = 0;
    m_failed = 0;
    m_skippedRows = 0;
    const auto forgetRows = qScopeGuard([this] { m_rows = nullptr; });
    ListRows::Row row;
    bool more = rows.next(row);
    if (!more) {
        m_err << CaptureRun::emptyListMessage() << Qt::endl;
        return NothingRun;
    }
    if (!IsFolder(folder) && !(m_createsFolder && !folder.isEmpty() && QDir().mkpath(folder))) {
        m_err << CaptureRun::missingFolderMessage() << Qt::endl;
        return NothingRun;
    }
    const QString unavailable = m_browser.unavailableReason();
    if (!unavailable.isEmpty()) {
        m_err << unavailable << Qt::endl;
        return NothingRun;
    }

    UrlListModel list;
    ConsoleRunView view(folder);
    ConsoleMessageBoxes console(m_out, m_err);
    console.setProgressLine(m_progress);
    ChunkMessageBoxes boxes(console);
    CaptureRun capture(view, list, boxes, m_browser, m_pump);
    if (!m_browsers.isEmpty())
        capture.setBrowsers(m_browsers);
    // The progress line asks the run for the addresses loading each time it draws.
    const auto forgetCapture = qScopeGuard([this] {
        if (m_progress)
            m_progress->setLoadingSource({});
    });
    if (m_progress)
        m_progress->setLoadingSource([&capture] { return capture.loadingRows(); });
    // Names are reserved over the whole list, not per chunk.
    OutputNames names(m_format->extension);
    capture.setOutputNames(&names);
    SavedRows history;
    history.setNoClobber(m_noClobber);
    QString archiveError;
    if (!m_archivePath.isEmpty() && !history.openArchive(m_archivePath, names, &archiveError)) {
        m_err << archiveError << Qt::endl;
        return NothingRun;
    }
    QHash<QString, QString> skipReasons;
    capture.setSkipTest([&](const QString &url, const QString &outputPath) {
        const QString reason = history.skipReason(url, outputPath);
        if (!reason.isEmpty())
            skipReasons.insert(url, reason);
        return !reason.isEmpty();
    });
    if (m_rowWaitLimitMs > 0)
        capture.setWaitLimit(std::chrono::milliseconds(m_rowWaitLimitMs));
    capture.setTries(m_tries);
    capture.setOutputFormat(*m_format);
    capture.setHostWait(m_hostWaitMs);
    QStringList chunk;
    qint64 before = 0;   // rows of the chunks before this one
    qint64 reported = 0; // rows of this chunk the run has finished
    capture.setRowObserver([&](const CaptureRun::RowResult &result) {
        ++reported;
        const qint64 row = before + result.row;
        if (result.outcome == CaptureRun::RowOutcome::Skipped) {
            ++m_skippedRows;
            const QString reason = skipReasons.take(result.url);
            printSkipped(row, shownTotal(rows), result.url, reason);
            writeReport({row, result.url, QStringLiteral("skipped"), result.outputPath, reason});
            return;
        }
        const bool saved = result.outcome == CaptureRun::RowOutcome::Saved;
        ++(saved ? m_saved : m_failed);
        if (saved)
            history.saved(result.url, result.outputPath);
        const QString reason = saved ? result.note : failureReason(result.url, result.reason);
        printRow(row, shownTotal(rows), result.url, saved, result.outputPath, reason);
        writeReport({row, result.url, saved ? QStringLiteral("saved") : QStringLiteral("failed"),
                     result.outputPath, saved ? QString() : reason, result.httpStatus, result.ms,
                     result.tries, result.fallback});
        showProgress();
    });

    // Once a run ends short of its rows (no engine, no folder), no further row is loaded.
    bool loading = true;
    while (more) {
        chunk.clear();
        qsizetype chunkChars = 0;
        while (more && !row.tooLong && chunk.size() < m_chunkRows && chunkChars < MaxChunkChars) {
            if (inShard(row.text)) {
                chunkChars += row.text.size();
                chunk.append(std::move(row.text));
            }
            more = rows.next(row);
        }
        if (!chunk.isEmpty()) {
            reported = 0;
            if (loading) {
                list.clear();
                list.appendRows(chunk);
                showProgress();
                capture.start();
                loading = reported == chunk.size() && m_browser.unavailableReason().isEmpty();
            }
            for (qint64 index = reported; index < chunk.size(); ++index) {
                ++m_failed;
                printRow(before + index + 1, shownTotal(rows), chunk.at(index), false);
                writeReport({before + index + 1, chunk.at(index), QStringLiteral("failed"), {},
                             QStringLiteral("not loaded")});
            }
            before += chunk.size();
        }
        // A row too long never reaches the engine.
        if (more && row.tooLong) {
            ++before;
            ++m_failed;
            const QString start = addressStart(row.text);
            if (m_progress)
                m_progress->hide();
            m_err << "Row " << before << ": address too long (more than 2 MiB): " << start << Qt::endl;
            printRow(before, shownTotal(rows), start, false, {}, QStringLiteral("address too long"));
            writeReport({before, start, QStringLiteral("failed"), {}, QStringLiteral("address too long")});
            more = rows.next(row);
        }
        showProgress();
    }

    if (m_progress)
        m_progress->finish();
    if (!m_quiet)
        console.information(QStringLiteral("Done."));
    printSummary();
    return m_failed == 0 && !rows.readFailed() ? AllSaved : SomeFailed;
}
