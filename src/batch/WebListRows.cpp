#include "batch/WebListRows.h"

#include "batch/BodyFetch.h"
#include "batch/FeedReader.h"
#include "batch/GzipInflate.h"
#include "batch/SitemapReader.h"
#include "engine/PageAddress.h"

#include <QUrl>

WebListRows::WebListRows(BodyFetch &fetch, const QStringList &sitemaps, const QStringList &feeds, Warn warn)
    : m_fetch(fetch), m_sitemaps(sitemaps), m_feeds(feeds), m_warn(std::move(warn))
{
}

WebListRows::~WebListRows() = default;

bool WebListRows::next(QString &address, QString &refusal)
{
    if (!m_error.isEmpty() || m_allRead)
        return false;
    if (nextFromSitemaps(address, refusal) || (m_error.isEmpty() && nextFromFeeds(address, refusal))) {
        ++m_rows;
        return true;
    }
    m_allRead = m_error.isEmpty();
    return false;
}

bool WebListRows::nextFromSitemaps(QString &address, QString &refusal)
{
    for (;;) {
        if (!m_sitemap) {
            if (m_nextSitemap >= m_sitemaps.size())
                return false;
            m_sitemap = std::make_unique<SitemapReader>(m_fetch, m_sitemaps.at(m_nextSitemap++), m_warn);
        }
        if (m_sitemap->next(address, refusal))
            return true;
        m_error = m_sitemap->error();
        m_sitemap.reset();
        if (!m_error.isEmpty())
            return false;
    }
}

bool WebListRows::openFeed(const QString &address)
{
    m_feedAddress = address;
    PageOutcome answer = m_fetch.fetch(address);
    QString problem = answer.failure;
    if (problem.isEmpty() && GzipInflate::isGzip(answer.body)) {
        QByteArray inflated;
        if (GzipInflate::inflate(answer.body, SitemapReader::MaxInflatedBytes, 60'000, &inflated, &problem))
            answer.body = inflated;
    }
    if (!problem.isEmpty()) {
        m_error = QStringLiteral("cannot read feed %1: %2").arg(address, problem);
        return false;
    }
    const PageAddress page = PageAddress::fromRow(address);
    QUrl base(answer.finalUrl.isEmpty() ? page.url : answer.finalUrl);
    m_feedIsLocal = base.isLocalFile();
    m_feedBody = std::move(answer.body);
    m_feed = std::make_unique<FeedReader>(m_feedBody, base);
    return true;
}

bool WebListRows::nextFromFeeds(QString &address, QString &refusal)
{
    for (;;) {
        if (!m_feed) {
            if (m_nextFeed >= m_feeds.size() || !openFeed(m_feeds.at(m_nextFeed++)))
                return false;
        }
        if (m_feed->next(address)) {
            const QUrl url(address);
            const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
            refusal = web || (m_feedIsLocal && url.isLocalFile())
                ? QString()
                : QStringLiteral("not an http or https address, in feed %1").arg(m_feedAddress);
            return true;
        }
        if (!m_feed->error().isEmpty()) {
            m_error = QStringLiteral("cannot read feed %1: %2").arg(m_feedAddress, m_feed->error());
            return false;
        }
        m_feed.reset();
        m_feedBody.clear();
    }
}
