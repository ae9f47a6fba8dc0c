#include "batch/RobotsGate.h"

#include "batch/BodyFetch.h"
#include "engine/PageAddress.h"
#include "engine/PageOutcome.h"

#include <QUrl>

namespace {

const QString Unavailable = QStringLiteral("robots.txt unavailable");

QUrl urlOf(const QString &row)
{
    const PageAddress address = PageAddress::fromRow(row);
    return address.kind == PageAddress::Load ? QUrl(address.url) : QUrl();
}

bool hasSite(const QUrl &url)
{
    return PageAddress::isWeb(url) && !url.host().isEmpty();
}

} // namespace

RobotsGate::RobotsGate(BodyFetch &fetch, int pageLimitMs, Warn warn)
    : m_fetch(fetch), m_limit(qMax(1, qMin(FetchLimitMs, pageLimitMs / 2))), m_warn(std::move(warn))
{}

RobotsGate::~RobotsGate()
{
    m_fetch.cancel();
}

QString RobotsGate::siteOf(const QUrl &url)
{
    return QStringLiteral("%1://%2:%3")
        .arg(url.scheme(), url.host(QUrl::FullyEncoded))
        .arg(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

void RobotsGate::prepare(const QString &row)
{
    const QUrl url = urlOf(row);
    if (!hasSite(url))
        return;
    const QString site = siteOf(url);
    if (m_sites.contains(site) || m_fetching.contains(site))
        return;
    m_fetching.insert(site);
    m_fetch.start(site + QStringLiteral("/robots.txt"), m_limit,
                  [this, site, host = url.host()](const PageOutcome &answer) { learn(site, host, answer); });
}

void RobotsGate::learn(const QString &site, const QString &host, const PageOutcome &answer)
{
    Site known;
    if (!answer.failed()) {
        known.rules = RobotsRules::parse(answer.body, ProductToken);
    } else if (answer.httpStatus >= 400 && answer.httpStatus < 500) {
        known.rules = RobotsRules::allowAll();
    } else {
        known.rules = RobotsRules::disallowAll();
        known.unavailable = answer.failure;
        m_warn(QStringLiteral("cannot read %1/robots.txt: %2; the site's rows are skipped").arg(site, answer.failure));
    }
    const int delay = known.rules.crawlDelayMs();
    if (delay > m_delayByHost.value(host))
        m_delayByHost.insert(host, delay);
    m_sites.insert(site, known);
    m_fetching.remove(site);
    // The redirects that waited for it are answered, each once.
    QList<std::pair<QString, Answer>> answered;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (siteOf(urlOf(it->first)) == site) {
            answered.append(std::move(*it));
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto &[target, answerRedirect] : answered)
        answerRedirect(skipReason(target));
}

bool RobotsGate::isKnown(const QString &row) const
{
    if (m_fetching.isEmpty())
        return true;
    const QUrl url = urlOf(row);
    return !hasSite(url) || !m_fetching.contains(siteOf(url));
}

void RobotsGate::checkRedirect(const QString &target, Answer answer)
{
    const QUrl url = urlOf(target);
    if (!hasSite(url) || m_sites.contains(siteOf(url))) {
        answer(skipReason(target));
        return;
    }
    m_pending.append({target, std::move(answer)});
    prepare(target);
}

void RobotsGate::refusePending()
{
    m_fetch.cancel();
    m_fetching.clear();
    while (!m_pending.isEmpty())
        m_pending.takeFirst().second(Unavailable);
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
    return site->unavailable.isEmpty() ? QStringLiteral("robots.txt") : Unavailable;
}
