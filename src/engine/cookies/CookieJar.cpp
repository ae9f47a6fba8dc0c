#include "engine/cookies/CookieJar.h"

#include <QSet>

CookieJar::CookieJar(const QList<BrowserCookie> &start)
{
    for (const BrowserCookie &cookie : start) {
        set(cookie);
        m_startBySite[siteOf(cookie.domain)].append(cookie);
    }
}

QString CookieJar::siteOf(const QString &host)
{
    QString name = host.toLower();
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    // An IP address is a site of its own.
    if (name.contains(QLatin1Char(':')) || (!name.isEmpty() && name.back().isDigit()))
        return name;
    const qsizetype last = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype before = last > 0 ? name.lastIndexOf(QLatin1Char('.'), last - 1) : -1;
    return before < 0 ? name : name.mid(before + 1);
}

QList<BrowserCookie> CookieJar::startFor(const QString &host) const
{
    return m_startBySite.value(siteOf(host));
}

QString CookieJar::slot(const BrowserCookie &cookie)
{
    return cookie.name + QLatin1Char('\t') + cookie.domain + QLatin1Char('\t') + cookie.path;
}

void CookieJar::set(const BrowserCookie &cookie)
{
    const auto found = m_index.constFind(slot(cookie));
    if (found != m_index.constEnd()) {
        m_cookies[*found] = cookie;
        return;
    }
    m_index.insert(slot(cookie), m_cookies.size());
    m_cookies.append(cookie);
}

QList<BrowserCookie> CookieJar::cookies(qint64 now) const
{
    QList<BrowserCookie> result;
    for (const BrowserCookie &cookie : m_cookies) {
        if (cookie.expires == 0 || cookie.expires > now)
            result.append(cookie);
    }
    return result;
}

void CookieJar::takeRow(const QList<BrowserCookie> &atStart, const QList<BrowserCookie> &atEnd)
{
    dropRow();
    QHash<QString, BrowserCookie> before;
    for (const BrowserCookie &cookie : atStart)
        before.insert(slot(cookie), cookie);
    QSet<QString> gone(before.keyBegin(), before.keyEnd());
    for (const BrowserCookie &cookie : atEnd) {
        const QString key = slot(cookie);
        gone.remove(key);
        const auto was = before.constFind(key);
        if (was == before.constEnd() || !(*was == cookie))
            set(cookie);
    }
    if (gone.isEmpty())
        return;
    m_cookies.removeIf([&gone](const BrowserCookie &cookie) { return gone.contains(slot(cookie)); });
    m_index.clear();
    for (qsizetype i = 0; i < m_cookies.size(); ++i)
        m_index.insert(slot(m_cookies.at(i)), i);
}

void CookieJar::dropRow()
{
    if (m_rowsExpected > 0)
        --m_rowsExpected;
}
