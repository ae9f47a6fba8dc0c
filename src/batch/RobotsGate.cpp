#include "batch/RobotsGate.h"

#include "batch/BodyFetch.h"
#include "engine/PageAddress.h"

#include <QUrl>

namespace {

QUrl urlOf(const QString &row)
{
    const PageAddress address = PageAddress::fromRow(row);
    return address.kind == PageAddress::Load ? QUrl(address.url) : QUrl();
}

} // namespace

RobotsGate::RobotsGate(BodyFetch &fetch, Warn warn) : m_fetch(fetch), m_warn(std::move(warn)) {}

QString RobotsGate::siteOf(const QUrl &url)
{
    return QStringLiteral("%1://%2:%3")
        .arg(url.scheme(), url.host(QUrl::FullyEncoded))
        .arg(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

void RobotsGate::prepare(const QString &row)
{
    const QUrl url = urlOf(row);
    if (!PageAddress::isWeb(url) || url.host().isEmpty())
        return;
    const QString site = siteOf(url);
    if (m_sites.contains(site))
        return;
    const QString address = site + QStringLiteral("/robots.txt");
    const PageOutcome answer = m_fetch.fetch(address);
    Site known;
    if (!answer.failed()) {
        known.rules = RobotsRules::parse(answer.body, ProductToken);
    } else if (answer.httpStatus >= 400 && answer.httpStatus < 500) {
        known.rules = RobotsRules::allowAll();
    } else {
        known.rules = RobotsRules::disallowAll();
        known.unavailable = answer.failure;
        m_warn(QStringLiteral("cannot read %1: %2; the site's rows are skipped").arg(address, answer.failure));
    }
    const int delay = known.rules.crawlDelayMs();
    if (delay > m_delayByHost.value(url.host()))
        m_delayByHost.insert(url.host(), delay);
    m_sites.insert(site, known);
}

void RobotsGate::checkRedirect(const QString &target, Answer answer)
{
    const QUrl url = urlOf(target);
    if (!PageAddress::isWeb(url) || url.host().isEmpty() || m_sites.contains(siteOf(url)))
        answer(skipReason(target));
    else
        m_pending.append({target, std::move(answer)});
}

void RobotsGate::answerPending()
{
    if (m_answering)
        return;
    m_answering = true;
    // Redirects that arrive during a fetch join the list.
    while (!m_pending.isEmpty()) {
        const auto [target, answer] = m_pending.takeFirst();
        prepare(target);
        answer(skipReason(target));
    }
    m_answering = false;
}

void RobotsGate::refusePending()
{
    while (!m_pending.isEmpty())
        m_pending.takeFirst().second(QStringLiteral("robots.txt unavailable"));
}

QString RobotsGate::skipReason(const QString &row) const
{
    const QUrl url = urlOf(row);
    const auto site = m_sites.constFind(siteOf(url));
    if (!PageAddress::isWeb(url) || site == m_sites.constEnd())
        return {};
    QByteArray path = url.path(QUrl::FullyEncoded).toUtf8();
    if (url.hasQuery())
        path += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    if (site->rules.allows(path))
        return {};
    return site->unavailable.isEmpty() ? QStringLiteral("robots.txt") : QStringLiteral("robots.txt unavailable");
}
