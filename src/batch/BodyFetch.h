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
// of the rows (cookies, headers, proxy …): waiting for it while events run, or
// in the background while the run goes on, one fetch at a time.
class BodyFetch
{
public:
    // Bodies up to the larger of the page cap and `capBytes`.
    BodyFetch(IPage &page, IEventPump &pump, std::chrono::milliseconds limit, qint64 capBytes = 0);
    ~BodyFetch();

    // The answer: its body's bytes in `body`, or why it could not be had
    // (`failure`, with the HTTP status when there was one). A fetch in the
    // background ends first.
    PageOutcome fetch(const QString &address);

    // Fetches in the background, after those started before: `done` is told the
    // answer from the event loop, a failure when `limit` passes first.
    using Done = std::function<void(const PageOutcome &answer)>;
    void start(const QString &address, std::chrono::milliseconds limit, Done done);
    // Ends the fetches in the background, unanswered.
    void cancel();

private:
    struct Request {
        QString address;
        std::chrono::milliseconds limit;
        Done done;
    };
    void watchPage();
    void startNext();
    void finishCurrent();

    IPage &m_page;
    IEventPump &m_pump;
    std::chrono::milliseconds m_limit;
    qint64 m_cap;
    std::deque<Request> m_queued;
    std::optional<Request> m_current; // the fetch going on in the background
    quint64 m_started = 0;            // fetches started in the background, to tell them apart
    bool m_waiting = false;           // fetch() waits for its answer
    QTimer m_timeLimit;               // of the fetch in the background
};
