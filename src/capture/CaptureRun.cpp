#include "capture/CaptureRun.h"

#include "capture/IRunView.h"
#include "capture/MousePointer.h"
#include "engine/IBrowser.h"
#include "capture/OutputFile.h"
#include "support/ErrorGuard.h"
#include "support/IEventPump.h"
#include "support/IMessageBoxes.h"
#include "support/OperationNames.h"
#include "support/PathHelpers.h"
#include "support/RuntimeError.h"
#include "urllist/UrlListModel.h"

#include <QElapsedTimer>
#include <QUrl>

#include <cmath>

namespace {

const QString IdleCaption = QStringLiteral("Progress Bar");

} // namespace

CaptureRun::CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes,
                       IBrowser &browser, IEventPump &pump)
    : m_view(view), m_list(list), m_boxes(boxes), m_browser(browser), m_pump(pump)
{
}

int CaptureRun::progressValue(qint64 row, qint64 count)
{
    if (count == 0)
        throw RuntimeError(QStringLiteral("Division by zero"), 11);
    return int(std::floor(double(row) / double(count) * 100.0));
}

void CaptureRun::start()
{
    // A second press during a run would drive the same browser twice.
    if (m_running)
        return;
    m_running = true;
    m_summary = Summary();
    m_ownNames = OutputNames();
    try {
        run();
    } catch (...) {
    }
    m_running = false;
}

int CaptureRun::retryPauseMs(int tries) const
{
    // 1 s before the second try, doubling up to 30 s; a server's own wish up to 60 s.
    const int backoff = int(qMin<qint64>(30'000, qint64(m_firstPauseMs) << qMin(tries - 1, 20)));
    const int asked = m_browser.retryAfterMs();
    if (asked > 60'000)
        return -1;
    return qMax(backoff, asked);
}

void CaptureRun::pause(int milliseconds)
{
    QElapsedTimer paused;
    paused.start();
    while (paused.elapsed() < milliseconds && !m_stopRequested)
        m_pump.waitForEvents(int(qMin<qint64>(WaitSliceMs, milliseconds - paused.elapsed())));
}

void CaptureRun::waitForHost(const QString &url)
{
    if (m_hostWaitMs <= 0)
        return;
    const QString host = QUrl::fromUserInput(url.trimmed()).host();
    if (!m_hostClock.isValid())
        m_hostClock.start();
    const auto last = m_lastLoadByHost.constFind(host);
    if (last != m_lastLoadByHost.constEnd())
        pause(int(qMax<qint64>(0, *last + m_hostWaitMs - m_hostClock.elapsed())));
    m_lastLoadByHost.insert(host, m_hostClock.elapsed());
}

OutputNames &CaptureRun::names()
{
    return m_sharedNames ? *m_sharedNames : m_ownNames;
}

const OutputNames &CaptureRun::names() const
{
    return m_sharedNames ? *m_sharedNames : m_ownNames;
}

QString CaptureRun::rowNote(const QString &url) const
{
    QStringList notes;
    if (!m_browser.loadNote().isEmpty())
        notes << m_browser.loadNote();
    if (names().numbered(url))
        notes << QStringLiteral("numbered: an earlier row has the plain name");
    return notes.join(QStringLiteral("; "));
}

ErrorGuard::Statement CaptureRun::forRow(const QString &url, ErrorGuard::Statement statement)
{
    // Reports of a row's steps name its address.
    return [url, statement] {
        try {
            statement();
        } catch (const RuntimeError &error) {
            if (error.description().contains(url))
                throw;
            throw RuntimeError(IBrowser::shownAddress(url) + QStringLiteral(": ") + error.description(),
                               error.number());
        }
    };
}

void CaptureRun::skipRemainingRows(qint64 lastRow, qint64 rowCount)
{
    for (qint64 row = lastRow + 1; row <= rowCount; ++row) {
        ++m_summary.failed;
        if (m_observer)
            m_observer(row, row <= m_list.count() ? m_list.text(int(row)) : QString(),
                       RowOutcome::Failed, QString(), QString());
    }
}

void CaptureRun::run()
{
    ErrorGuard guard(m_boxes, OperationNames::PushButton2_Click);
    const auto setBusy = [this] { m_view.setMousePointer(MousePointer::Hourglass); };

    if (guard.lineIf(100, [&] { return !(m_list.count() > 0); })) {
        guard.run(190, [&] { m_boxes.information(QStringLiteral("No files added.")); });
        return;
    }
    if (guard.lineIf(102, [&] { return !IsFolder(m_view.folderText()); })) {
        guard.run(188, [&] {
            m_boxes.information(QStringLiteral("Folder does not exist. Please select another folder."));
        });
        return;
    }
    guard.run(104, setBusy);

    qint64 rowCount = 0;
    qint64 finished = 0;
    m_stopRequested = false;
    guard.run(108, [&] { rowCount = m_list.count(); });
    for (qint64 row = 1; row <= rowCount; ++row) {
        QString url;
        QString pageText; // cleared for every row: a row never gets another row's text
        QString reservedName;
        guard.run(112, [&] { url = m_list.text(int(row)); });
        guard.run([&] { reservedName = names().reserve(url); });
        if (m_skipTest) {
            const QString path = MakeOutputPath(m_view.folderText(), reservedName);
            if (m_skipTest(url, path)) {
                m_lastRowTries = 0;
                m_lastRowMs = 0;
                ++m_summary.skipped;
                ++finished;
                if (m_observer)
                    m_observer(row, url, RowOutcome::Skipped, path, QString());
                continue;
            }
        }
        guard.run([&] { m_view.setProgressValue(progressValue(row, m_list.count())); });
        guard.run([&] { m_view.setProgressCaption(QStringLiteral("Processing: ") + FileNameOfPath(url)); });
        guard.run([&] { m_pump.processPendingEvents(); });
        guard.run(110, setBusy);
        bool taken = false;
        QElapsedTimer rowClock;
        rowClock.start();
        for (int tries = 1;; ++tries) {
            m_lastRowTries = tries;
            waitForHost(url);
            guard.run(116, forRow(url, [&] { m_browser.navigate(url); }));

            qint32 waitPolls = 0;
            guard.run(118, [&] { waitPolls = 0; });
            QElapsedTimer waited;
            waited.start();
            // A failed test ends the wait rather than polling without a bound.
            while (guard.lineIf(120, [&] {
                const bool loading = m_browser.readyState() != IBrowser::ReadyStateComplete;
                const bool withinBound = waitPolls < MaxWaitPolls
                    && waited.elapsed() < m_waitLimit.count();
                return loading && withinBound;
            })) {
                guard.run(122, [&] { m_pump.waitForEvents(WaitSliceMs); });
                guard.run(124, [&] { ++waitPolls; });
                guard.run(126, [&] { m_view.setProgressCaption(QStringLiteral("Please wait: ") + QString::number(waitPolls)); });
                guard.run(128, setBusy);
            }
            guard.run(132, setBusy);
            // A failure that may pass is tried again without a report.
            const int pauseMs = tries < m_tries ? retryPauseMs(tries) : -1;
            if (pauseMs >= 0) {
                try {
                    pageText = m_browser.bodyInnerText();
                    taken = true;
                    break;
                } catch (const RuntimeError &) {
                    if (m_browser.failureMayPass() && !m_stopRequested) {
                        pause(pauseMs);
                        continue;
                    }
                }
            }
            taken = guard.run(134, [&] { pageText = m_browser.bodyInnerText(); });
            break;
        }
        guard.run(140, setBusy);

        bool saved = false;
        QString outputPath;
        if (taken) {
            QString outputFileName;
            guard.run(142, [&] { outputFileName = reservedName; });
            guard.run(160, [&] { outputPath = MakeOutputPath(m_view.folderText(), outputFileName); });
            OutputFileWriter writer;
            const bool opened = guard.run(162, forRow(url, [&] { writer.open(outputPath); }));
            const bool written = guard.run(164, forRow(url, [&] { writer.write(pageText); }));
            const bool closed = guard.run(166, forRow(url, [&] { writer.close(); }));
            saved = opened && written && closed;
        }
        guard.run(168, setBusy);
        saved ? ++m_summary.saved : ++m_summary.failed;
        m_lastRowMs = rowClock.elapsed();
        if (m_observer)
            m_observer(row, url, saved ? RowOutcome::Saved : RowOutcome::Failed,
                       saved ? outputPath : QString(), saved ? rowNote(url) : QString());
        ++finished;
        // Without an engine no later row can load: its one report has been shown.
        if (!saved && !m_browser.unavailableReason().isEmpty()) {
            skipRemainingRows(row, rowCount);
            break;
        }
        if (m_stopRequested && row < rowCount)
            break;
    }
    guard.run(176, [&] { m_view.setMousePointer(MousePointer::Default); });
    guard.run(178, [&] { m_view.setProgressValue(0); });
    guard.run(180, [&] { m_view.setProgressCaption(IdleCaption); });
    const QString closing = finished < rowCount && m_stopRequested
        ? QStringLiteral("Stopped after %1 of %2 rows.").arg(finished).arg(rowCount)
        : QStringLiteral("Done.");
    m_stopRequested = false;
    guard.run(186, [&] { m_boxes.information(closing); });
}
