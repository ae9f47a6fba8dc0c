#include "batch/BodyFetch.h"

#include "engine/IPage.h"
#include "support/IEventPump.h"

BodyFetch::BodyFetch(IPage &page, IEventPump &pump, std::chrono::milliseconds limit, qint64 capBytes)
    : m_page(page), m_pump(pump), m_limit(limit), m_cap(capBytes)
{
    m_timeLimit.setSingleShot(true);
    QObject::connect(&m_timeLimit, &QTimer::timeout, &m_timeLimit, [this] { finishCurrent(); });
    watchPage();
}

BodyFetch::~BodyFetch()
{
    cancel();
}

void BodyFetch::start(const QString &address, std::chrono::milliseconds limit, Done done)
{
    m_queued.push_back({address, limit, std::move(done)});
    startQueued();
}

void BodyFetch::startNext(const QString &address, Done done)
{
    m_queued.push_front({address, m_limit, std::move(done)});
    startQueued();
}

void BodyFetch::cancel()
{
    m_queued.clear();
    m_timeLimit.stop();
    if (m_current) {
        m_current.reset();
        m_page.takeOutcome();
    }
}

void BodyFetch::watchPage()
{
    m_page.setDoneHandler([this] {
        m_pump.wake();
        if (!m_current)
            return;
        // The page may be in its own event: its answer is taken once control returns.
        QTimer::singleShot(0, &m_timeLimit, [this, started = m_started] {
            if (m_current && m_started == started && m_page.isDone())
                finishCurrent();
        });
    });
}

void BodyFetch::startQueued()
{
    if (m_current || m_queued.empty())
        return;
    m_current = std::move(m_queued.front());
    m_queued.pop_front();
    ++m_started;
    m_timeLimit.start(m_current->limit);
    m_page.loadBody(m_current->address, m_cap);
}

void BodyFetch::finishCurrent()
{
    if (!m_current)
        return;
    m_timeLimit.stop();
    Request request = std::move(*m_current);
    m_current.reset();
    // A page still loading is ended by takeOutcome, which fails it as timed out.
    const PageOutcome answer = m_page.takeOutcome();
    request.done(answer);
    m_pump.wake();
    startQueued();
}
