#pragma once

#include "batch/BatchOptions.h"
#include "capture/IRowSource.h"
#include "engine/PageOutcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class BodyFetch;
class FeedReader;
class SitemapReader;

// The rows of a batch's sitemaps and feeds, in the order given, each fetched in
// the background when the run comes to it and read as the run needs its rows.
// Rows a sitemap dates (<lastmod>) before a time given are left out.
class WebListRows
{
public:
    using Warn = std::function<void(const QString &warning)>;
    // Told what is being fetched ("reading sitemap URL (3 files, 1200 rows so
    // far)") before each fetch, and an empty text once the rows go on.
    using Reading = std::function<void(const QString &what)>;
    WebListRows(BodyFetch &fetch, const QList<WebSource> &sources, Warn warn);
    ~WebListRows();

    bool isEmpty() const { return m_sources.isEmpty(); }
    // The next row (Row), with why it is not loaded in `failure` and, when
    // asked, its sitemap's <lastmod> (null when it has none, and for feeds);
    // NotYet while a file is on its way; End after the last one, or with
    // error() once a sitemap or feed could not be read.
    IRowSource::Answer next(QString &address, QString &failure, QDateTime *lastModified = nullptr);
    QString error() const { return m_error; }
    qint64 rows() const { return m_rows; }
    bool allRead() const { return m_allRead; }
    void setReading(Reading reading) { m_reading = std::move(reading); }
    // Leaves out the rows whose <lastmod> is before `since`; rows without one are given.
    void setChangedSince(const QDateTime &since) { m_changedSince = since; }
    qint64 leftOutAsUnchanged() const { return m_leftOutAsUnchanged; }

private:
    IRowSource::Answer nextOfSources(QString &address, QString &failure, QDateTime &lastModified);
    void open(const WebSource &source);
    void tellReading(const QString &what);
    void openFeed(const QString &address);
    bool feedOpened();
    IRowSource::Answer nextFromSitemap(QString &address, QString &failure, QDateTime &lastModified);
    IRowSource::Answer nextFromFeed(QString &address, QString &failure);

    BodyFetch &m_fetch;
    QList<WebSource> m_sources;
    Warn m_warn;
    Reading m_reading;
    bool m_readingTold = false;
    qsizetype m_nextSource = 0;
    std::unique_ptr<SitemapReader> m_sitemap;
    std::unique_ptr<FeedReader> m_feed;
    std::shared_ptr<std::optional<PageOutcome>> m_feedAnswer; // of the feed on its way
    QByteArray m_feedBody;
    QString m_feedUrl;
    QString m_feedAddress; // as messages name it, without user info
    bool m_feedIsLocal = false;
    QString m_error;
    qint64 m_rows = 0;
    bool m_allRead = false;
    QDateTime m_changedSince;
    qint64 m_leftOutAsUnchanged = 0;
};
