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
{}

WebListRows::~WebListRows() = default;

IRowSource::Answer WebListRows::next(QString &address, QString &failure, QDateTime *lastModified)
{
    QDateTime modified;
    const IRowSource::Answer answer = nextOfSources(address, failure, modified);
    if (lastModified && answer == IRowSource::Answer::Row)
        *lastModified = modified;
    if (m_readingTold && answer != IRowSource::Answer::NotYet)
        tellReading({});
    return answer;
}

void WebListRows::tellReading(const QString &what)
{
    m_readingTold = !what.isEmpty();
    if (m_reading)
        m_reading(what);
}

IRowSource::Answer WebListRows::nextOfSources(QString &address, QString &failure, QDateTime &lastModified)
{
    using Answer = IRowSource::Answer;
    if (!m_error.isEmpty() || m_allRead)
        return Answer::End;
    for (;;) {
        if (!m_sitemap && !m_feed && !m_feedAnswer) {
            if (m_nextSource >= m_sources.size())
                break;
            open(m_sources.at(m_nextSource++));
        }
        lastModified = QDateTime();
        const Answer answer =
            m_sitemap ? nextFromSitemap(address, failure, lastModified) : nextFromFeed(address, failure);
        if (answer == Answer::Row && lastModified.isValid() && m_changedSince.isValid()
            && lastModified < m_changedSince) {
            ++m_leftOutAsUnchanged;
            continue;
        }
        if (answer == Answer::Row)
            ++m_rows;
        if (answer != Answer::End)
            return answer;
        if (!m_error.isEmpty())
            return Answer::End;
    }
    m_allRead = true;
    return Answer::End;
}

void WebListRows::open(const WebSource &source)
{
    if (source.kind == WebSource::Kind::Feed) {
        openFeed(source.address);
        return;
    }
    m_sitemap = std::make_unique<SitemapReader>(m_fetch, source.address, m_warn);
    m_sitemap->setFetching([this, start = PageAddress::withoutUserInfo(source.address)](const QString &) {
        const qint64 files = m_sitemap->filesRead();
        const qint64 rows = m_sitemap->rowsGiven();
        tellReading(files == 0 ? QStringLiteral("reading sitemap %1").arg(start)
                               : QStringLiteral("reading sitemap %1 (%2, %3 so far)")
                                     .arg(start, counted(files, "file", "files"), counted(rows, "row", "rows")));
    });
}

IRowSource::Answer WebListRows::nextFromSitemap(QString &address, QString &failure, QDateTime &lastModified)
{
    const IRowSource::Answer answer = m_sitemap->next(address, failure, &lastModified);
    if (answer != IRowSource::Answer::End)
        return answer;
    m_error = m_sitemap->error();
    m_sitemap.reset();
    return answer;
}

void WebListRows::openFeed(const QString &address)
{
    m_feedAddress = PageAddress::withoutUserInfo(address);
    m_feedUrl = address;
    tellReading(QStringLiteral("reading feed %1").arg(m_feedAddress));
    // The answer outlives this, which a run may drop while the feed is on its way.
    m_feedAnswer = std::make_shared<std::optional<PageOutcome>>();
    m_fetch.startNext(address, [answer = m_feedAnswer](const PageOutcome &fetched) { *answer = fetched; });
}

// Takes the feed on its way once its answer is in.
bool WebListRows::feedOpened()
{
    PageOutcome answer = std::move(**m_feedAnswer);
    m_feedAnswer.reset();
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
    const PageAddress page = PageAddress::fromRow(m_feedUrl);
    QUrl base(answer.finalUrl.isEmpty() ? page.url : answer.finalUrl);
    m_feedIsLocal = base.isLocalFile();
    m_feedBody = std::move(answer.body);
    m_feed = std::make_unique<FeedReader>(m_feedBody, base);
    return true;
}

IRowSource::Answer WebListRows::nextFromFeed(QString &address, QString &failure)
{
    if (m_feedAnswer) {
        if (!*m_feedAnswer)
            return IRowSource::Answer::NotYet;
        if (!feedOpened())
            return IRowSource::Answer::End;
    }
    if (m_feed->next(address)) {
        const QUrl url(address);
        failure = PageAddress::isWeb(url) || (m_feedIsLocal && url.isLocalFile())
            ? QString()
            : QStringLiteral("not an http or https address, in feed %1").arg(m_feedAddress);
        return IRowSource::Answer::Row;
    }
    if (!m_feed->error().isEmpty())
        m_error = QStringLiteral("cannot read feed %1: %2").arg(m_feedAddress, m_feed->error());
    m_feed.reset();
    m_feedBody.clear();
    return IRowSource::Answer::End;
}
