#include "batch/WebListRows.h"

#include "batch/BodyFetch.h"
#include "batch/FeedReader.h"
#include "batch/GzipInflate.h"
#include "batch/SitemapReader.h"
#include "engine/PageAddress.h"

#include <QUrl>

namespace {

QString counted(qint64 count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

WebListRows::WebListRows(BodyFetch &fetch, const QList<WebSource> &sources, Warn warn)
    : m_fetch(fetch), m_sources(sources), m_warn(std::move(warn))
{
}

WebListRows::~WebListRows() = default;

bool WebListRows::next(QString &address, QString &refusal)
{
    const bool found = nextOfSources(address, refusal);
    if (m_readingTold)
        tellReading({});
    return found;
}

void WebListRows::tellReading(const QString &what)
{
    m_readingTold = !what.isEmpty();
    if (m_reading)
        m_reading(what);
}

bool WebListRows::nextOfSources(QString &address, QString &refusal)
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
    m_sitemap->setFetching([this, start = PageAddress::withoutUserInfo(source.address)](const QString &) {
        const qint64 files = m_sitemap->filesRead();
        const qint64 rows = m_sitemap->rowsGiven();
        tellReading(files == 0 ? QStringLiteral("reading sitemap %1").arg(start)
                               : QStringLiteral("reading sitemap %1 (%2, %3 so far)")
                                     .arg(start, counted(files, "file", "files"), counted(rows, "row", "rows")));
    });
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
    m_feedAddress = PageAddress::withoutUserInfo(address);
    tellReading(QStringLiteral("reading feed %1").arg(m_feedAddress));
    PageOutcome answer = m_fetch.fetch(address);
    QString problem = answer.failure;
    if (problem.isEmpty() && GzipInflate::isGzip(answer.body)) {
        QByteArray inflated;
        if (GzipInflate::inflate(answer.body, SitemapReader::MaxInflatedBytes, 60'000, &inflated, &problem))
            answer.body = inflated;
    }
    if (!problem.isEmpty()) {
        m_error = QStringLiteral("cannot read feed %1: %2").arg(m_feedAddress, problem);
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
        refusal = PageAddress::isWeb(url) || (m_feedIsLocal && url.isLocalFile())
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
