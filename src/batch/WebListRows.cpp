#include "batch/WebListRows.h"

#include "batch/BodyFetch.h"
#include "batch/FeedReader.h"
#include "batch/GzipInflate.h"
#include "batch/SitemapReader.h"
#include "engine/PageAddress.h"

#include <QUrl>

WebListRows::WebListRows(BodyFetch &fetch, const QList<WebSource> &sources, Warn warn)
    : m_fetch(fetch), m_sources(sources), m_warn(std::move(warn))
{
}

WebListRows::~WebListRows() = default;

bool WebListRows::next(QString &address, QString &refusal)
{
    if (!m_error.isEmpty() || m_allRead)
        return false;
    for (;;) {
        if (!m_sitemap && !m_feed) {
            if (m_nextSource >= m_sources.size())
                break;
            if (!open(m_sources.at(m_nextSource++)))
                return false;
        }
        if (m_sitemap ? nextFromSitemap(address, refusal) : nextFromFeed(address, refusal)) {
            ++m_rows;
            return true;
        }
        if (!m_error.isEmpty())
            return false;
    }
    m_allRead = true;
    return false;
}

bool WebListRows::open(const WebSource &source)
{
    if (source.kind == WebSource::Kind::Feed)
        return openFeed(source.address);
    m_sitemap = std::make_unique<SitemapReader>(m_fetch, source.address, m_warn);
    return true;
}

bool WebListRows::nextFromSitemap(QString &address, QString &refusal)
{
    if (m_sitemap->next(address, refusal))
        return true;
    m_error = m_sitemap->error();
    m_sitemap.reset();
    return false;
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

bool WebListRows::nextFromFeed(QString &address, QString &refusal)
{
    if (m_feed->next(address)) {
        const QUrl url(address);
        const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
        refusal = web || (m_feedIsLocal && url.isLocalFile())
            ? QString()
            : QStringLiteral("not an http or https address, in feed %1").arg(m_feedAddress);
        return true;
    }
    if (!m_feed->error().isEmpty())
        m_error = QStringLiteral("cannot read feed %1: %2").arg(m_feedAddress, m_feed->error());
    m_feed.reset();
    m_feedBody.clear();
    return false;
}
