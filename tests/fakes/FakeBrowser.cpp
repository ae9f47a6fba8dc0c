#include "fakes/FakeBrowser.h"

#include "support/RuntimeError.h"

void FakeBrowser::navigate(const QString &url)
{
    if (failNavigate)
        throw RuntimeError(QStringLiteral("Navigation refused"));
    navigated.append(url);
    m_current = url;
    m_queries = 0;
}

int FakeBrowser::readyState() const
{
    const int query = ++m_queries;
    if (onPoll)
        onPoll(m_current, query);
    const Page page = pages.value(m_current);
    return query > page.pollsUntilReady ? ReadyStateComplete : 1;
}

bool FakeBrowser::failing() const
{
    const Page page = pages.value(m_current);
    return !page.error.isEmpty()
        && (page.failingLoads == 0 || navigated.count(m_current) <= page.failingLoads);
}

QString FakeBrowser::bodyInnerText()
{
    if (failing())
        throw RuntimeError(pages.value(m_current).error);
    return pages.value(m_current).text;
}

bool FakeBrowser::failureMayPass() const
{
    return failing() && pages.value(m_current).failingLoads > 0;
}
