#include "fakes/FakeBrowser.h"

#include "support/RuntimeError.h"

void FakeBrowser::Navigate(const QString &url)
{
    if (failNavigate)
        throw RuntimeError(QStringLiteral("Navigation refused"));
    navigated.append(url);
    m_current = url;
    m_queries = 0;
}

int FakeBrowser::ReadyState() const
{
    const int query = ++m_queries;
    if (onPoll)
        onPoll(m_current, query);
    const Page page = pages.value(m_current);
    return query > page.pollsUntilReady ? ReadyStateComplete : 1;
}

QString FakeBrowser::DocumentBodyInnerText()
{
    const Page page = pages.value(m_current);
    if (!page.error.isEmpty())
        throw RuntimeError(page.error);
    return page.text;
}
