#include "batch/BodyFetch.h"

#include "engine/IPage.h"
#include "support/IEventPump.h"

#include <QElapsedTimer>

BodyFetch::BodyFetch(IPage &page, IEventPump &pump, std::chrono::milliseconds limit, qint64 capBytes)
    : m_page(page), m_pump(pump), m_limit(limit), m_cap(capBytes)
{
}

PageOutcome BodyFetch::fetch(const QString &address)
{
    m_page.setDoneHandler([this] { m_pump.wake(); });
    m_page.loadBody(address, m_cap);
    QElapsedTimer waited;
    waited.start();
    // A page that never answers is ended by takeOutcome, which fails it as timed out.
    while (!m_page.isDone() && waited.elapsed() < m_limit.count())
        m_pump.waitForEvents(100);
    return m_page.takeOutcome();
}
