#pragma once

#include <QHash>
#include <QString>

// Decides when a loaded page has settled: when for a quiet spell it has had no
// request of its own in flight and no change to its document, or sooner when
// nothing is pending at all; at the latest when the settle time is up.
// Times are milliseconds of one monotonic clock.
class SettleTracker
{
public:
    // What the page's own tracker reports.
    struct PageSample {
        qint64 msSinceMutation = 0; // since the document last changed
        qint64 msSinceActivity = 0; // since a change, a timer or a script request ended
        int pending = 0; // timers, script requests and frames still to come
    };

    SettleTracker(int quietSpellMs, int settleMs) : m_spell(quietSpellMs), m_settle(settleMs) {}

    // The load event: the settle starts.
    void start(qint64 now);
    // Requests of the page; `type` is the DevTools resource type.
    void requestStarted(const QString &requestId, const QString &type, const QString &url, qint64 now);
    void requestEnded(const QString &requestId, qint64 now);

    bool settled(const PageSample &page, qint64 now) const;
    // With nothing pending and no young request in flight, how long the page
    // must stay calm before it is taken (0: now); otherwise -1.
    qint64 msUntilCalm(const PageSample &page, qint64 now) const;
    bool timeIsUp(qint64 now) const { return now - m_start >= m_settle; }

    // A page with nothing pending is taken after this much calm (more than a
    // frame, so that observers' callbacks of the last frame have run).
    static constexpr int CalmMs = 20;

private:
    struct Request {
        qint64 started = 0;
        qint64 ended = -1;
    };
    // When the requests last counted as activity (long ago without any);
    // requests older than the spell do not count.
    qint64 networkActivityEnd(qint64 now, int *youngInFlight) const;
    qint64 untilCalm(const PageSample &page, qint64 now, qint64 network, int youngInFlight) const;

    int m_spell;
    int m_settle;
    qint64 m_start = 0;
    QHash<QString, Request> m_requests;
};
