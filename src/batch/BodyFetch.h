#pragma once

#include "engine/PageOutcome.h"

#include <QString>

#include <chrono>

class IEventPump;
class IPage;

// Fetches one address's answer through a page of the engine, with the options
// of the rows (cookies, headers, proxy …), and waits for it while events run.
class BodyFetch
{
public:
    // Bodies up to the larger of the page cap and `capBytes`.
    BodyFetch(IPage &page, IEventPump &pump, std::chrono::milliseconds limit, qint64 capBytes = 0);

    // The answer: its body's bytes in `body`, or why it could not be had
    // (`failure`, with the HTTP status when there was one).
    PageOutcome fetch(const QString &address);

private:
    IPage &m_page;
    IEventPump &m_pump;
    std::chrono::milliseconds m_limit;
    qint64 m_cap;
};
