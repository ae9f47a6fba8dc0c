#include "capture/CaptureRun.h"

#include "capture/IRunView.h"
#include "capture/MousePointer.h"
#include "engine/IPage.h"
#include "engine/PageAddress.h"
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

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

const QString IdleCaption = QStringLiteral("Progress Bar");

QString hostOf(const QString &url)
{
    return QUrl::fromUserInput(url.trimmed()).host();
}

} // namespace

CaptureRun::CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes,
                       IPage &browser, IEventPump &pump)
    : m_view(view), m_list(list), m_boxes(boxes), m_browsers{&browser}, m_pump(pump)
{
}

void CaptureRun::setBrowsers(const QList<IPage *> &browsers)
{
    if (!browsers.isEmpty() && !m_running)
        m_browsers = browsers;
}

QStringList CaptureRun::loadingRows() const
{
    std::vector<const Slot *> busy;
    for (const Slot &slot : m_slots) {
        if (slot.row != 0)
            busy.push_back(&slot);
    }
    std::sort(busy.begin(), busy.end(), [](const Slot *a, const Slot *b) { return a->row < b->row; });
    QStringList urls;
    for (const Slot *slot : busy)
        urls.append(slot->url);
    return urls;
}

void CaptureRun::showBusy()
{
    m_view.setMousePointer(MousePointer::Hourglass);
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

int CaptureRun::retryPauseMs(const PageOutcome &outcome, int tries) const
{
    // 1 s before the second try, doubling up to 30 s; a server's own wish up to 60 s.
    const int backoff = int(qMin<qint64>(30'000, qint64(m_firstPauseMs) << qMin(tries - 1, 20)));
    const int asked = outcome.retryAfterMs;
    if (asked > 60'000)
        return -1;
    return qMax(backoff, asked);
}

qint64 CaptureRun::hostFreeAt(const QString &url) const
{
    if (m_hostWaitMs <= 0)
        return 0;
    const auto last = m_lastLoadByHost.constFind(hostOf(url));
    return last == m_lastLoadByHost.constEnd() ? 0 : *last + m_hostWaitMs;
}

OutputNames &CaptureRun::names()
{
    return m_sharedNames ? *m_sharedNames : m_ownNames;
}

const OutputNames &CaptureRun::names() const
{
    return m_sharedNames ? *m_sharedNames : m_ownNames;
}

QString CaptureRun::rowNote(const Slot &slot) const
{
    QStringList notes;
    if (!slot.outcome.note.isEmpty())
        notes << slot.outcome.note;
    if (names().numbered(slot.url))
        notes << QStringLiteral("numbered: an earlier row has the plain name");
    return notes.join(QStringLiteral("; "));
}

ErrorGuard::Statement CaptureRun::forRow(const QString &url, ErrorGuard::Statement statement,
                                         QString *failure)
{
    // Reports of a row's steps name its address.
    return [url, statement, failure] {
        try {
            statement();
        } catch (const RuntimeError &error) {
            const RuntimeError named = error.description().contains(url)
                ? error
                : RuntimeError(PageAddress::shown(url) + QStringLiteral(": ") + error.description(),
                               error.number());
            if (failure)
                *failure = named.description();
            throw named;
        }
    };
}

void CaptureRun::skipRemainingRows(qint64 lastRow, qint64 rowCount)
{
    for (qint64 row = lastRow + 1; row <= rowCount; ++row) {
        ++m_summary.failed;
        if (m_observer) {
            RowResult result;
            result.row = row;
            result.url = row <= m_list.count() ? m_list.text(int(row)) : QString();
            m_observer(result);
        }
    }
}

CaptureRun::Slot *CaptureRun::freeSlot()
{
    for (Slot &slot : m_slots) {
        if (slot.row == 0)
            return &slot;
    }
    return nullptr;
}

bool CaptureRun::nameLoading(const QString &name) const
{
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [&](const Slot &slot) { return slot.row != 0 && slot.name == name; });
}

bool CaptureRun::anyBusy() const
{
    return std::any_of(m_slots.begin(), m_slots.end(), [](const Slot &slot) { return slot.row != 0; });
}

// Takes the next row into a free page; false when it must wait: a row of the
// same name is loading (its file decides this one's fate, as one page at a time).
bool CaptureRun::startRow(ErrorGuard &guard, NextRow &next)
{
    if (next.row == 0)
        return false;
    Slot *slot = freeSlot();
    if (!slot || nameLoading(next.name))
        return false;
    const NextRow row = std::exchange(next, NextRow());
    if (m_skipTest) {
        const QString path = MakeOutputPath(m_view.folderText(), row.name);
        if (m_skipTest(row.url, path)) {
            ++m_summary.skipped;
            ++m_finished;
            if (m_observer) {
                RowResult result;
                result.row = row.row;
                result.url = row.url;
                result.outcome = RowOutcome::Skipped;
                result.outputPath = path;
                m_observer(result);
            }
            return true;
        }
    }
    guard.run([&] { m_view.setProgressValue(progressValue(row.row, m_list.count())); });
    guard.run([&] { m_view.setProgressCaption(QStringLiteral("Processing: ") + FileNameOfPath(row.url)); });
    guard.run([&] { m_pump.processPendingEvents(); });
    guard.run(110, [this] { showBusy(); });
    slot->row = row.row;
    slot->url = row.url;
    slot->name = row.name;
    slot->tries = 0;
    slot->loading = false;
    slot->startAt = 0;
    slot->rowClock.start();
    return true;
}

// Starts the slot's next load once its pause and its host's wait are over.
void CaptureRun::load(ErrorGuard &guard, Slot &slot)
{
    const qint64 now = m_clock.elapsed();
    // A stopped run cuts its pauses short, as it finishes the rows it has.
    const qint64 at = m_stopRequested ? 0 : qMax(slot.startAt, hostFreeAt(slot.url));
    if (at > now) {
        slot.startAt = at;
        return;
    }
    if (m_hostWaitMs > 0)
        m_lastLoadByHost.insert(hostOf(slot.url), now);
    ++slot.tries;
    slot.loading = true;
    slot.ready = false;
    guard.run(116, forRow(slot.url, [&] { slot.browser->load(slot.url); }));
    guard.run(118, [&] { slot.waitPolls = 0; });
    slot.waited.start();
}

// Waits while every page loads; false once one of them is ready or out of time.
bool CaptureRun::waitForPages(ErrorGuard &guard)
{
    bool anyLoading = false;
    // A failed test ends the wait rather than polling without a bound.
    const bool wait = guard.lineIf(120, [&] {
        bool anyReady = false;
        for (Slot &slot : m_slots) {
            if (!slot.loading)
                continue;
            anyLoading = true;
            slot.ready = true; // a query that fails ends the row's wait
            const bool complete = slot.browser->isDone();
            const bool withinBound = slot.waitPolls < MaxWaitPolls
                && slot.waited.elapsed() < m_waitLimit.count();
            slot.ready = complete || !withinBound;
            anyReady = anyReady || slot.ready;
        }
        return anyLoading && !anyReady;
    });
    // A page pausing is not kept waiting past its time.
    qint64 pauseEnds = std::numeric_limits<qint64>::max();
    for (const Slot &slot : m_slots) {
        if (slot.row != 0 && !slot.loading)
            pauseEnds = qMin(pauseEnds, slot.startAt);
    }
    const int sliceMs = int(std::clamp<qint64>(pauseEnds - m_clock.elapsed(), 0, WaitSliceMs));
    if (!wait) {
        if (anyLoading)
            return false;
        if (sliceMs > 0 && !m_stopRequested)
            m_pump.waitForEvents(sliceMs);
        return true;
    }
    const Slot *shown = nullptr;
    for (const Slot &slot : m_slots) {
        if (slot.loading && (!shown || slot.row < shown->row))
            shown = &slot;
    }
    guard.run(122, [&] { m_pump.waitForEvents(qMax(sliceMs, 1)); });
    guard.run(124, [&] {
        for (Slot &slot : m_slots) {
            if (slot.loading)
                ++slot.waitPolls;
        }
    });
    guard.run(126, [&] { m_view.setProgressCaption(QStringLiteral("Please wait: ") + QString::number(shown->waitPolls)); });
    guard.run(128, [this] { showBusy(); });
    return true;
}

// The outcome of a page that is ready; false when the row is to be loaded again.
bool CaptureRun::takeOutcome(ErrorGuard &guard, Slot &slot)
{
    slot.loading = false;
    slot.ready = false;
    guard.run(132, [this] { showBusy(); });
    QString pageText; // a row never gets another row's text
    slot.outcome = slot.browser->takeOutcome();
    // A failure that may pass is tried again without a report.
    const int pauseMs = slot.tries < m_tries ? retryPauseMs(slot.outcome, slot.tries) : -1;
    if (pauseMs >= 0 && slot.outcome.failed() && slot.outcome.mayPass && !m_stopRequested) {
        slot.startAt = m_clock.elapsed() + pauseMs;
        return false;
    }
    QString reason;
    const bool taken = guard.run(134, [&] {
        if (slot.outcome.failed()) {
            reason = QStringLiteral("Could not load %1: %2").arg(PageAddress::shown(slot.url), slot.outcome.failure);
            throw RuntimeError(reason);
        }
        pageText = m_format->compose(slot.url, slot.outcome);
    });
    finishRow(guard, slot, taken, pageText, reason);
    return true;
}

void CaptureRun::finishRow(ErrorGuard &guard, Slot &slot, bool taken, const QString &pageText,
                           const QString &failure)
{
    guard.run(140, [this] { showBusy(); });
    QString reason = failure;
    bool saved = false;
    QString outputPath;
    if (taken) {
        QString outputFileName;
        guard.run(142, [&] { outputFileName = slot.name; });
        guard.run(160, [&] { outputPath = MakeOutputPath(m_view.folderText(), outputFileName); });
        OutputFileWriter writer;
        const bool opened = guard.run(162, forRow(slot.url, [&] { writer.open(outputPath); }, &reason));
        const bool written = guard.run(164, forRow(slot.url, [&] { writer.write(pageText); }, &reason));
        const bool closed = guard.run(166, forRow(slot.url, [&] { writer.close(); }, &reason));
        saved = opened && written && closed;
    }
    guard.run(168, [this] { showBusy(); });
    saved ? ++m_summary.saved : ++m_summary.failed;
    ++m_finished;
    RowResult result;
    result.row = slot.row;
    result.url = slot.url;
    result.outcome = saved ? RowOutcome::Saved : RowOutcome::Failed;
    result.outputPath = saved ? outputPath : QString();
    result.note = saved ? rowNote(slot) : QString();
    result.reason = saved ? QString() : reason;
    result.httpStatus = slot.outcome.httpStatus;
    result.fallback = saved && slot.outcome.mainContentFallback;
    result.tries = slot.tries;
    result.ms = slot.rowClock.elapsed();
    slot.row = 0;
    // Without an engine no later row can load: its one report has been shown.
    if (!saved && !slot.browser->unavailableReason().isEmpty())
        m_noEngine = true;
    if (m_observer)
        m_observer(result);
}

void CaptureRun::run()
{
    ErrorGuard guard(m_boxes, OperationNames::PushButton2_Click);

    if (guard.lineIf(100, [&] { return !(m_list.count() > 0); })) {
        guard.run(190, [&] { m_boxes.information(emptyListMessage()); });
        return;
    }
    if (guard.lineIf(102, [&] { return !IsFolder(m_view.folderText()); })) {
        guard.run(188, [&] { m_boxes.information(missingFolderMessage()); });
        return;
    }
    guard.run(104, [this] { showBusy(); });

    qint64 rowCount = 0;
    m_finished = 0;
    m_stopRequested = false;
    m_noEngine = false;
    m_lastLoadByHost.clear();
    m_clock.start();
    m_slots.assign(size_t(m_browsers.size()), Slot());
    for (qsizetype i = 0; i < m_browsers.size(); ++i)
        m_slots[size_t(i)].browser = m_browsers.at(i);
    guard.run(108, [&] { rowCount = m_list.count(); });
    qint64 lastRead = 0;
    NextRow next;
    for (;;) {
        // Rows are read, named and started in list order.
        while (!m_stopRequested && !m_noEngine && freeSlot()) {
            if (next.row == 0) {
                if (lastRead >= rowCount)
                    break;
                next.row = ++lastRead;
                guard.run(112, [&] { next.url = m_list.text(int(next.row)); });
                guard.run([&] { next.name = names().reserve(next.url); });
            }
            if (!startRow(guard, next))
                break;
        }
        if (!anyBusy())
            break;
        for (Slot &slot : m_slots) {
            if (slot.row != 0 && !slot.loading)
                load(guard, slot);
        }
        if (waitForPages(guard))
            continue;
        for (Slot &slot : m_slots) {
            if (slot.loading && slot.ready)
                takeOutcome(guard, slot);
        }
    }
    if (m_noEngine)
        skipRemainingRows(next.row != 0 ? next.row - 1 : lastRead, rowCount);
    guard.run(176, [&] { m_view.setMousePointer(MousePointer::Default); });
    guard.run(178, [&] { m_view.setProgressValue(0); });
    guard.run(180, [&] { m_view.setProgressCaption(IdleCaption); });
    const QString closing = m_finished < rowCount && m_stopRequested
        ? QStringLiteral("Stopped after %1 of %2 rows.").arg(m_finished).arg(rowCount)
        : QStringLiteral("Done.");
    m_stopRequested = false;
    guard.run(186, [&] { m_boxes.information(closing); });
}
