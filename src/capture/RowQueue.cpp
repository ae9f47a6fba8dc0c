#include "capture/RowQueue.h"

#include "capture/IRowOutput.h"
#include "capture/IRowSource.h"
#include "capture/IRunObserver.h"
#include "engine/IPage.h"
#include "support/IEventPump.h"
#include "support/RuntimeError.h"

#include <QCryptographicHash>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace {

// The longest sleep between two looks at the pages.
constexpr int WaitSliceMs = 100;

QString hostOf(const QString &url)
{
    return QUrl::fromUserInput(url.trimmed()).host();
}

// Runs one of a page's steps; the reason it failed, or empty.
template <typename Step> QString failureOf(const Step &step)
{
    try {
        step();
    } catch (const RuntimeError &error) {
        return error.description();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
    return {};
}

} // namespace

RowQueue::RowQueue(const QList<IPage *> &pages, IEventPump &pump, IRowSource &source, IRowOutput &output,
                   IRunObserver &observer)
    : m_pump(pump), m_source(source), m_output(output), m_observer(observer)
{
    for (IPage *page : pages) {
        Slot slot;
        slot.page = page;
        m_slots.push_back(slot);
    }
}

void RowQueue::setFormat(const OutputFormat &format)
{
    m_format = &format;
    m_names = OutputNames(format.extension);
}

void RowQueue::setRules(RowRules rules)
{
    m_rules = std::move(rules);
    m_waitLimit = qMax(m_waitLimit, std::chrono::milliseconds(m_rules.longestRowMs()));
}

const OutputFormat &RowQueue::formatOf(const QueuedRow &row) const
{
    const OutputFormat *own = m_rules.formatOf(row.rule);
    return own ? *own : *m_format;
}

// A row under a rule of another format gets that format's extension.
std::optional<QString> RowQueue::nameOf(const QueuedRow &row, const std::optional<QString> &given) const
{
    const OutputFormat *own = m_rules.formatOf(row.rule);
    if (!own)
        return given;
    if (!given)
        return m_names.plainName(row.url, own->extension);
    const QString &runExtension = m_format->extension;
    return (given->endsWith(runExtension) ? given->chopped(runExtension.size()) : *given) + own->extension;
}

void RowQueue::setTries(int tries, int firstPauseMs)
{
    m_tries = qMax(tries, 1);
    m_firstPauseMs = qMax(firstPauseMs, 0);
}

QStringList RowQueue::loadingRows() const
{
    std::vector<const Slot *> busy;
    for (const Slot &slot : m_slots) {
        if (slot.busy)
            busy.push_back(&slot);
    }
    std::sort(busy.begin(), busy.end(), [](const Slot *a, const Slot *b) { return a->row.number < b->row.number; });
    QStringList urls;
    for (const Slot *slot : busy)
        urls.append(slot->row.url);
    return urls;
}

RowQueue::Summary RowQueue::run()
{
    if (m_running)
        return m_summary;
    m_running = true;
    m_stopRequested = false;
    m_abortRequested = false;
    m_summary = Summary();
    m_pending.clear();
    m_read = 0;
    m_sourceDone = false;
    m_noEngine.clear();
    m_lastLoadByHost.clear();
    m_addresses.clear();
    m_clock.start();
    for (Slot &slot : m_slots) {
        slot.busy = false;
        slot.page->setDoneHandler([this] { m_pump.wake(); });
    }
    for (;;) {
        if (m_abortRequested)
            abortLoadingRows();
        const bool starting = !m_stopRequested && m_noEngine.isEmpty();
        if (starting) {
            readAhead();
            startRows();
        }
        if (!anyBusy()) {
            if (!starting || (m_pending.empty() && m_sourceDone))
                break;
            // Every row left waits for its pause or its host.
            const qint64 sleep = std::clamp<qint64>(nextStartAt() - now(), 1, WaitSliceMs);
            m_pump.waitForEvents(int(sleep));
            continue;
        }
        if (waitForPages())
            continue;
        for (Slot &slot : m_slots) {
            if (slot.busy && rowEnded(slot))
                collect(slot);
        }
    }
    if (!m_noEngine.isEmpty())
        failRemaining(m_noEngine);
    else
        dropUnstarted();
    m_running = false;
    return m_summary;
}

void RowQueue::stopNow()
{
    m_stopRequested = true;
    m_abortRequested = true;
    m_pump.wake();
}

// Rows whose page is done end as they would; the others' pages are aborted.
void RowQueue::abortLoadingRows()
{
    for (Slot &slot : m_slots) {
        if (!slot.busy)
            continue;
        if (slot.page->isDone()) {
            collect(slot);
            continue;
        }
        slot.busy = false;
        failureOf([&] { slot.page->abort(); });
        RowResult result;
        result.row = slot.row.number;
        result.url = slot.row.url;
        result.depth = slot.row.depth;
        result.foundOn = slot.row.foundOn;
        result.outcome = RowResult::Outcome::Stopped;
        result.reason = QStringLiteral("stopped");
        result.page = PageOutcome::failedWith(result.reason);
        result.tries = slot.tries;
        result.ms = now() - slot.firstLoadAt;
        m_output.passOver(slot.row);
        m_source.rowEnded(result);
        m_observer.rowFinished(result);
        m_observer.loadEnded(slot.row, int(&slot - m_slots.data()), result.page, {slot.loadedAt, now(), -1});
    }
}

// Reads rows up to a few more than the pages can take, reserving their names,
// and further while every row read waits for its host, so that a page takes a
// row of another host meanwhile; a source with nothing yet is asked again on the
// next pass.
bool RowQueue::readAhead()
{
    const size_t ahead = m_slots.size() * 2 + 8;
    while (!m_sourceDone && (m_pending.size() < ahead || (m_pending.size() < ahead * 16 && hostsHoldAll()))) {
        IRowSource::Next next = m_source.next();
        if (next.answer == IRowSource::Answer::NotYet)
            break;
        if (next.answer == IRowSource::Answer::End) {
            m_sourceDone = true;
            break;
        }
        Pending pending;
        pending.row.number = ++m_read;
        pending.row.url = std::move(next.text);
        pending.row.depth = next.depth;
        pending.row.foundOn = std::move(next.foundOn);
        if (!next.failure.isEmpty()) {
            finishUnloaded(pending.row, next.failure, RowResult::Outcome::Failed);
            continue;
        }
        pending.row.rule = m_rules.ruleFor(pending.row.url);
        pending.row.name = m_names.reserve(pending.row.url, nameOf(pending.row, next.name));
        m_addresses.add(pending.row.number, pending.row.url);
        m_pending.push_back(std::move(pending));
    }
    return !m_pending.empty();
}

void RowQueue::startRows()
{
    for (Slot &slot : m_slots) {
        while (!slot.busy && !m_stopRequested && m_noEngine.isEmpty() && startOne(slot)) {
        }
    }
}

// Starts the first row that may start now in the free page; false when none may.
bool RowQueue::startOne(Slot &slot)
{
    const qint64 time = now();
    QSet<QString> heldNames; // an earlier row of the same name goes first
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        const bool ready = it->startAt <= time && hostFreeAt(it->row) <= time && sourceReady(*it)
            && !m_addresses.waits(it->row.number);
        if (!ready || heldNames.contains(it->row.name) || nameLoading(it->row.name)) {
            heldNames.insert(it->row.name);
            continue;
        }
        Pending pending = std::move(*it);
        m_pending.erase(it);
        if (pending.tries == 0) {
            QString skip = m_addresses.skipReason(pending.row.number);
            if (skip.isEmpty())
                skip = m_source.skipReason(pending.row, m_output.pathOf(pending.row));
            if (!skip.isEmpty()) {
                finishUnloaded(pending.row, skip, RowResult::Outcome::Skipped);
                readAhead();
                return true;
            }
            const QString path = m_output.pathOf(pending.row);
            if (const QString unchanged = m_source.unchangedUnloaded(pending.row, path); !unchanged.isEmpty()) {
                finishUnchanged(pending.row, unchanged);
                readAhead();
                return true;
            }
            pending.row.validators = m_source.validatorsOf(pending.row, path);
            m_observer.rowStarted(pending.row);
            pending.firstLoadAt = now();
        }
        loadRow(slot, pending);
        return true;
    }
    return false;
}

void RowQueue::loadRow(Slot &slot, Pending &pending)
{
    if (waitsForHosts())
        m_lastLoadByHost.insert(hostOf(pending.row.url), {now(), -1, &slot, pending.row.number});
    const auto load = [&] {
        if (!m_rules.isEmpty()) {
            const int rule = pending.row.rule;
            slot.page->setRowOptions(rule < 0 ? std::nullopt
                                              : std::optional<EngineOptions>(m_rules.settingsOf(rule).engine));
        }
        if (pending.row.validators.isEmpty())
            slot.page->load(pending.row.url);
        else
            slot.page->loadIfChanged(pending.row.url, pending.row.validators);
    };
    const QString failure = failureOf(load);
    if (!failure.isEmpty()) {
        finish(pending.row, PageOutcome::failedWith(failure), pending.tries + 1, pending.firstLoadAt);
        return;
    }
    slot.busy = true;
    slot.row = pending.row;
    slot.tries = pending.tries + 1;
    slot.firstLoadAt = pending.firstLoadAt;
    slot.reloaded = pending.reloaded;
    slot.polls = 0;
    slot.loadedAt = now();
    slot.waited.start();
}

PageOutcome RowQueue::takeOutcome(IPage &page)
{
    PageOutcome outcome;
    const QString failure = failureOf([&] { outcome = page.takeOutcome(); });
    return failure.isEmpty() ? outcome : PageOutcome::failedWith(failure);
}

// Waits while every busy page loads; false once one of them is done.
bool RowQueue::waitForPages()
{
    Slot *shown = nullptr;
    for (Slot &slot : m_slots) {
        if (!slot.busy)
            continue;
        if (rowEnded(slot))
            return false;
        if (!shown || slot.row.number < shown->row.number)
            shown = &slot;
    }
    // A free page waits no longer than the next pause or host wait that ends.
    qint64 sleep = WaitSliceMs;
    if (std::any_of(m_slots.begin(), m_slots.end(), [](const Slot &slot) { return !slot.busy; }))
        sleep = qMin(sleep, nextStartAt() - now());
    m_pump.waitForEvents(int(qMax<qint64>(sleep, 1)));
    for (Slot &slot : m_slots) {
        if (slot.busy)
            ++slot.polls;
    }
    m_observer.waiting(shown->row, shown->polls);
    return true;
}

void RowQueue::collect(Slot &slot)
{
    slot.busy = false;
    if (waitsForHosts()) {
        const auto last = m_lastLoadByHost.find(hostOf(slot.row.url));
        if (last != m_lastLoadByHost.end())
            noteRequest(*last);
    }
    const PageOutcome outcome = takeOutcome(*slot.page);
    IRunObserver::LoadTimes times{slot.loadedAt, now(), -1};
    const auto tell = [&] { m_observer.loadEnded(slot.row, int(&slot - m_slots.data()), outcome, times); };
    if (outcome.failed() && outcome.lostToRestart && !slot.reloaded && !m_stopRequested) {
        // Another page's trouble cost this load: once more at once, beside its tries.
        tell();
        requeue(slot, now(), outcome, true);
        return;
    }
    const int loads = slot.tries - (slot.reloaded ? 1 : 0);
    const int pauseMs = loads < triesOf(slot.row) ? retryPauseMs(outcome, loads) : -1;
    if (outcome.failed() && outcome.mayPass && pauseMs >= 0 && !m_stopRequested) {
        tell();
        requeue(slot, now() + pauseMs, outcome, slot.reloaded);
        return;
    }
    finish(slot.row, outcome, slot.tries, slot.firstLoadAt);
    times.writtenMs = now();
    tell();
}

void RowQueue::requeue(const Slot &slot, qint64 startAt, const PageOutcome &last, bool reloaded)
{
    Pending again;
    again.row = slot.row;
    again.tries = slot.tries;
    again.firstLoadAt = slot.firstLoadAt;
    again.reloaded = reloaded;
    again.startAt = startAt;
    again.last = last;
    // Kept in list order, so that it goes before later rows of its name.
    const auto at = std::find_if(m_pending.begin(), m_pending.end(),
                                 [&](const Pending &pending) { return pending.row.number > again.row.number; });
    m_pending.insert(at, std::move(again));
}

void RowQueue::finish(const QueuedRow &row, const PageOutcome &outcome, int tries, qint64 firstLoadAt)
{
    RowResult result;
    result.row = row.number;
    result.rule = m_rules.patternOf(row.rule);
    result.url = row.url;
    result.depth = row.depth;
    result.foundOn = row.foundOn;
    result.page = outcome;
    result.tries = tries;
    result.ms = now() - firstLoadAt;
    if (outcome.failed()) {
        result.reason = outcome.failure;
        if (!outcome.refused)
            result.change = m_source.changeOf(row, outcome, m_output.pathOf(row));
        if (outcome.refused) {
            result.outcome = RowResult::Outcome::Skipped;
            result.outputPath = m_output.pathOf(row);
        }
        if (outcome.engineMissing)
            m_noEngine = outcome.failure;
    } else if (const QString same = m_source.skipLoaded(row, outcome); !same.isEmpty()) {
        result.outcome = RowResult::Outcome::Skipped;
        result.reason = same;
        result.outputPath = m_output.pathOf(row);
    } else {
        result.change = m_source.changeOf(row, outcome, m_output.pathOf(row));
        write(row, outcome, result);
    }
    if (result.outcome == RowResult::Outcome::Skipped)
        ++m_summary.skipped;
    else
        ++(result.saved() ? m_summary.saved : m_summary.failed);
    if (!result.saved())
        m_output.passOver(row);
    m_addresses.ended(row.number, result.saved());
    m_source.rowEnded(result);
    m_observer.rowFinished(result);
}

// Writes a loaded row's text, unless its file holds it already.
void RowQueue::write(const QueuedRow &row, const PageOutcome &outcome, RowResult &result)
{
    const QString path = m_output.pathOf(row);
    if (outcome.notModified && !result.change.keepFile) {
        result.reason = QStringLiteral("not modified (304), and no earlier text to keep");
        result.change = {};
        return;
    }
    qint64 bytes = -1;
    QString failure;
    if (result.change.keepFile) {
        bytes = 0;
        m_output.passOver(row);
    } else {
        const QString text = formatOf(row).compose(row.url, outcome, result.change);
        bytes = m_output.write(row, path, text, &failure);
        if (bytes >= 0 && result.change.tracked())
            result.writtenSha256 = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex();
    }
    if (bytes < 0) {
        result.reason = failure;
        result.change = {};
        return;
    }
    result.outcome = RowResult::Outcome::Saved;
    result.outputPath = path;
    result.bytes = result.change.keepFile ? -1 : bytes;
    QStringList notes;
    if (!outcome.note.isEmpty())
        notes << outcome.note;
    else if (outcome.notModified)
        notes << QStringLiteral("not modified (304)");
    if (m_output.writesFiles() && m_names.numbered(row.url))
        notes << QStringLiteral("numbered: an earlier row has the plain name");
    result.note = notes.join(QStringLiteral("; "));
}

// A row its source knows unchanged ends as if its page had answered 304.
void RowQueue::finishUnchanged(const QueuedRow &row, const QString &note)
{
    PageOutcome outcome;
    outcome.notModified = true;
    outcome.finalUrl = row.url;
    outcome.note = note;
    finish(row, outcome, 0, now());
}

void RowQueue::finishUnloaded(const QueuedRow &row, const QString &reason, RowResult::Outcome outcome)
{
    RowResult result;
    result.row = row.number;
    result.rule = m_rules.patternOf(row.rule);
    result.url = row.url;
    result.depth = row.depth;
    result.foundOn = row.foundOn;
    result.outcome = outcome;
    result.reason = reason;
    if (outcome == RowResult::Outcome::Skipped) {
        result.outputPath = m_output.pathOf(row);
        ++m_summary.skipped;
    } else {
        ++m_summary.failed;
    }
    m_output.passOver(row);
    m_addresses.ended(row.number, false);
    m_source.rowEnded(result);
    m_observer.rowFinished(result);
}

// Without an engine no row can load: each one left fails with its reason.
void RowQueue::failRemaining(const QString &reason)
{
    for (;;) {
        while (!m_pending.empty()) {
            const Pending pending = std::move(m_pending.front());
            m_pending.pop_front();
            finishUnloaded(pending.row, reason, RowResult::Outcome::Failed);
        }
        if (!readAhead())
            break;
    }
}

// A stopped run ends the rows it tried with their last outcome and leaves the others.
void RowQueue::dropUnstarted()
{
    while (!m_pending.empty()) {
        const Pending pending = std::move(m_pending.front());
        m_pending.pop_front();
        if (pending.tries > 0)
            finish(pending.row, pending.last, pending.tries, pending.firstLoadAt);
    }
}

// When the first row that waits only for its pause or its host may start; rows
// held by an earlier row of their name start when that row ends, and rows the
// source holds when it is ready, each of which wakes the run.
qint64 RowQueue::nextStartAt()
{
    qint64 next = std::numeric_limits<qint64>::max();
    QSet<QString> heldNames;
    for (const Pending &pending : m_pending) {
        if (!heldNames.contains(pending.row.name) && !nameLoading(pending.row.name) && sourceReady(pending))
            next = qMin(next, qMax(pending.startAt, hostFreeAt(pending.row)));
        heldNames.insert(pending.row.name);
    }
    return next;
}

bool RowQueue::hostsHoldAll()
{
    if (!waitsForHosts() || m_pending.empty()
        || !std::any_of(m_slots.begin(), m_slots.end(), [](const Slot &slot) { return !slot.busy; }))
        return false;
    const qint64 time = now();
    return std::all_of(m_pending.begin(), m_pending.end(),
                       [&](const Pending &pending) { return hostFreeAt(pending.row) > time; });
}

qint64 RowQueue::hostFreeAt(const QueuedRow &row)
{
    if (!waitsForHosts())
        return 0;
    const QString host = hostOf(row.url);
    const int ownWaitMs = row.rule < 0 ? m_hostWaitMs : m_rules.settingsOf(row.rule).hostWaitMs;
    const int waitMs = qMax(ownWaitMs, m_hostWaitOf ? m_hostWaitOf(host) : 0);
    const auto last = m_lastLoadByHost.find(host);
    if (waitMs <= 0 || last == m_lastLoadByHost.end())
        return 0;
    noteRequest(*last);
    if (last->requestedAt >= 0)
        return last->requestedAt + waitMs;
    // A page that has not asked for its document yet (a new page opening) is
    // looked at again shortly; a load that ended without asking counts from its start.
    return last->slot ? now() + 10 : last->startedAt + waitMs;
}

void RowQueue::noteRequest(HostLoad &load) const
{
    if (!load.slot || load.requestedAt >= 0)
        return;
    if (load.slot->row.number != load.row) {
        load.slot = nullptr;
        return;
    }
    const qint64 requested = load.slot->page->requestedAtMs();
    if (requested >= 0)
        load.requestedAt = qMax(load.startedAt, requested - m_clock.msecsSinceReference());
    if (load.requestedAt >= 0 || !load.slot->busy)
        load.slot = nullptr;
}

int RowQueue::retryPauseMs(const PageOutcome &outcome, int tries) const
{
    // 1 s before the second try, doubling up to 30 s; a server's own wish up to 60 s.
    const int backoff = int(qMin<qint64>(30'000, qint64(m_firstPauseMs) << qMin(tries - 1, 20)));
    if (outcome.retryAfterMs > 60'000)
        return -1;
    return qMax(backoff, outcome.retryAfterMs);
}

// The page is done with its row, or the run stops waiting for it.
bool RowQueue::rowEnded(const Slot &slot) const
{
    return slot.page->isDone() || slot.waited.elapsed() >= m_waitLimit.count() || slot.polls >= MaxWaitPolls;
}

// The source is asked only before a row's first load.
bool RowQueue::sourceReady(const Pending &pending) const
{
    return pending.tries > 0 || m_source.readyToStart(pending.row);
}

bool RowQueue::nameLoading(const QString &name) const
{
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [&](const Slot &slot) { return slot.busy && slot.row.name == name; });
}

bool RowQueue::anyBusy() const
{
    return std::any_of(m_slots.begin(), m_slots.end(), [](const Slot &slot) { return slot.busy; });
}
