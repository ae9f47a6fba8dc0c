#pragma once

#include "engine/PageOutcome.h"

#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

class IEventPump;
class IPage;

// Fetches one address's answer through a page of the engine, with the options
// of the rows (cookies, headers, proxy …), in the background while the run
// goes on, one fetch at a time.
class BodyFetch
{
public:
    // Bodies up to the larger of the page cap and `capBytes`.
    BodyFetch(IPage &page, IEventPump &pump, std::chrono::milliseconds limit, qint64 capBytes = 0);
    ~BodyFetch();

    // Fetches in the background, after those started before: `done` is told the
    // answer from the event loop (its body's bytes in `body`, or why it could
    // not be had: `failure`, with the HTTP status when there was one), a
    // failure when `limit` passes first.
    using Done = std::function<void(const PageOutcome &answer)>;
    void start(const QString &address, std::chrono::milliseconds limit, Done done);
    // Fetches within the fetch's own limit, before the fetches not started yet.
    void startNext(const QString &address, Done done);
    // Ends the fetches in the background, unanswered.
    void cancel();

private:
    struct Request {
        QString address;
        std::chrono::milliseconds limit;
        Done done;
    };
    void watchPage();
    void startQueued();
    void finishCurrent();

    IPage &m_page;
    IEventPump &m_pump;
    std::chrono::milliseconds m_limit;
    qint64 m_cap;
    std::deque<Request> m_queued;
    std::optional<Request> m_current; // the fetch going on
    quint64 m_started = 0; // fetches started, to tell them apart
    QTimer m_timeLimit; // of the fetch in the background
};
