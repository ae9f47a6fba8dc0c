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

QString FakeBrowser::bodyInnerText()
{
    const Page page = pages.value(m_current);
    if (!page.error.isEmpty())
        throw RuntimeError(page.error);
    return page.text;
}
