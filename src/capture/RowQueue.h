#pragma once

#include "capture/OutputFormat.h"
#include "capture/OutputNames.h"
#include "capture/QueuedRow.h"
#include "capture/RowResult.h"
#include "capture/RowRules.h"
#include "capture/RunAddresses.h"
#include "engine/EngineOptions.h"
#include "engine/PageOutcome.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QStringList>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class IEventPump;
class IPage;
class IRowOutput;
class IRowSource;
class IRunObserver;

// The rows of one run, taken from a source, loaded in N pages at once and
// written to an output. Names are reserved in list order; a row starts in the
// first free page as soon as its tries' pause, its host's wait, the source and
// any earlier row of the same name allow, so no page idles while a row could
// start. The observer hears of every row as it starts and ends.
class RowQueue
{
public:
    struct Summary {
        qint64 saved = 0;
        qint64 failed = 0;
        qint64 skipped = 0;
        qint64 finished() const { return saved + failed + skipped; }
    };

    RowQueue(const QList<IPage *> &pages, IEventPump &pump, IRowSource &source, IRowOutput &output,
             IRunObserver &observer);

    void setFormat(const OutputFormat &format);
    // Names an earlier run gave stay taken.
    OutputNames &names() { return m_names; }
    // The addresses of the run's rows: a row whose address an earlier row saved
    // is skipped, and waits while that row may still save it.
    RunAddresses &addresses() { return m_addresses; }
    // Up to `tries` loads of a row whose failure may pass; pauses start at `firstPauseMs`.
    void setTries(int tries, int firstPauseMs = 1000);
    // At least this long between two loads of the same host, across the whole run.
    void setHostWait(int milliseconds) { m_hostWaitMs = milliseconds; }
    // A host's own least wait, used when longer than the run's (robots.txt's Crawl-delay).
    void setHostWaitOf(std::function<int(const QString &host)> wait) { m_hostWaitOf = std::move(wait); }
    // Rows an address rule matches load with its settings: page options, format,
    // tries and host wait in place of the run's.
    void setRules(RowRules rules);
    // Ends a wait for a page that never answers.
    void setWaitLimit(std::chrono::milliseconds limit) { m_waitLimit = limit; }

    // Runs every row; pending events are handled while it waits.
    Summary run();
    // No further row starts; the rows loading end as they would.
    void requestStop() { m_stopRequested = true; }
    // No further row starts, and the rows loading are aborted at once: each
    // ends as RowResult::Outcome::Stopped ("stopped"), without a file and
    // uncounted; run() returns at its next look at the pages. Rows waiting for
    // a pause or their host do not start, as with requestStop().
    void stopNow();
    bool stopRequested() const { return m_stopRequested; }
    bool isRunning() const { return m_running; }
    // The addresses of the rows loading now, in list order.
    QStringList loadingRows() const;
    const Summary &summary() const { return m_summary; }

    static constexpr qint32 MaxWaitPolls = 10'000'000;

private:
    struct Pending {
        QueuedRow row;
        int tries = 0;
        qint64 startAt = 0; // on the run's clock
        qint64 firstLoadAt = 0;
        bool reloaded = false; // loaded once more after losing its page to a restart
        PageOutcome last; // of its last load, while it waits to be tried again
    };
    struct Slot {
        IPage *page = nullptr;
        bool busy = false;
        QueuedRow row;
        int tries = 0;
        qint64 firstLoadAt = 0;
        bool reloaded = false;
        qint32 polls = 0;
        qint64 loadedAt = 0;
        QElapsedTimer waited;
    };

    bool readAhead();
    void startRows();
    bool startOne(Slot &slot);
    bool waitForPages();
    void collect(Slot &slot);
    void requeue(const Slot &slot, qint64 startAt, const PageOutcome &last, bool reloaded);
    void finish(const QueuedRow &row, const PageOutcome &outcome, int tries, qint64 firstLoadAt);
    void write(const QueuedRow &row, const PageOutcome &outcome, RowResult &result);
    void finishUnchanged(const QueuedRow &row, const QString &note);
    void finishUnloaded(const QueuedRow &row, const QString &reason, RowResult::Outcome outcome);
    void abortLoadingRows();
    void failRemaining(const QString &reason);
    void dropUnstarted();
    qint64 nextStartAt();
    qint64 hostFreeAt(const QueuedRow &row);
    // Some page is free, and every row read waits for its host.
    bool hostsHoldAll();
    bool waitsForHosts() const { return m_hostWaitMs > 0 || m_hostWaitOf || m_rules.waitsForHosts(); }
    int triesOf(const QueuedRow &row) const { return row.rule < 0 ? m_tries : m_rules.settingsOf(row.rule).tries; }
    const OutputFormat &formatOf(const QueuedRow &row) const;
    std::optional<QString> nameOf(const QueuedRow &row, const std::optional<QString> &given) const;
    int retryPauseMs(const PageOutcome &outcome, int tries) const;
    bool rowEnded(const Slot &slot) const;
    bool sourceReady(const Pending &pending) const;
    void loadRow(Slot &slot, Pending &pending);
    PageOutcome takeOutcome(IPage &page);
    bool nameLoading(const QString &name) const;
    bool anyBusy() const;
    qint64 now() const { return m_clock.elapsed(); }

    std::vector<Slot> m_slots;
    IEventPump &m_pump;
    IRowSource &m_source;
    IRowOutput &m_output;
    IRunObserver &m_observer;
    const OutputFormat *m_format = &OutputFormat::text();
    OutputNames m_names;
    RunAddresses m_addresses;
    int m_tries = 1;
    int m_firstPauseMs = 1000;
    int m_hostWaitMs = 0;
    std::function<int(const QString &host)> m_hostWaitOf;
    RowRules m_rules;
    std::chrono::milliseconds m_waitLimit{EngineOptions().longestRowMs()};

    std::deque<Pending> m_pending;
    qint64 m_read = 0;
    bool m_sourceDone = false;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_abortRequested = false;
    QString m_noEngine;
    Summary m_summary;
    QElapsedTimer m_clock;
    // The last load of each host: when it started and, once known, when its
    // document request left; the next load of the host waits from the latter.
    struct HostLoad {
        qint64 startedAt = 0;
        qint64 requestedAt = -1;
        const Slot *slot = nullptr; // while the load goes on
        qint64 row = 0;
    };
    void noteRequest(HostLoad &load) const;
    QHash<QString, HostLoad> m_lastLoadByHost;
};
