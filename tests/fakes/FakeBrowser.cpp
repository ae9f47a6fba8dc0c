#include "fakes/FakeBrowser.h"

#include "support/RuntimeError.h"

void FakeBrowser::load(const QString &url)
{
    if (failNavigate)
        throw RuntimeError(QStringLiteral("Navigation refused"));
    navigated.append(url);
    m_current = url;
    m_queries = 0;
}

bool FakeBrowser::isDone() const
{
    const int query = ++m_queries;
    if (onPoll)
        onPoll(m_current, query);
    return query > pages.value(m_current).pollsUntilReady;
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
