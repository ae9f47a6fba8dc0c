#include "fakes/FakeBrowser.h"

#include "support/RuntimeError.h"

void FakeBrowser::load(const QString &url)
{
    if (failNavigate)
        throw RuntimeError(QStringLiteral("Navigation refused"));
    navigated.append(url);
    m_current = url;
    m_queries = 0;
    QElapsedTimer clock;
    clock.start();
    m_loadedAtMs = clock.msecsSinceReference();
}

bool FakeBrowser::isDone() const
{
    const int query = ++m_queries;
    if (onPoll)
        onPoll(m_current, query);
    return query > pages.value(m_current).pollsUntilReady;
}

qint64 FakeBrowser::requestedAtMs() const
{
    QElapsedTimer clock;
    clock.start();
    const qint64 at = m_loadedAtMs + requestLagMs;
    return requestLagMs < 0 || clock.msecsSinceReference() < at ? -1 : at;
}

bool FakeBrowser::failing() const
{
    const Page page = pages.value(m_current);
    return !page.error.isEmpty()
        && (page.failingLoads == 0 || navigated.count(m_current) <= page.failingLoads);
}

PageOutcome FakeBrowser::takeOutcome()
{
    if (failing()) {
        const Page page = pages.value(m_current);
        PageOutcome outcome = PageOutcome::failedWith(page.error, page.failingLoads > 0 && !page.lostToRestart);
        outcome.lostToRestart = page.lostToRestart;
        return outcome;
    }
    PageOutcome outcome;
    outcome.content = pages.value(m_current).text;
    return outcome;
}
