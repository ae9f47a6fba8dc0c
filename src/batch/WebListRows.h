#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class BodyFetch;
class FeedReader;
class SitemapReader;

// The rows of a batch's sitemaps, then of its feeds, each fetched when the run
// comes to it and read as the run needs its rows.
class WebListRows
{
public:
    using Warn = std::function<void(const QString &warning)>;
    WebListRows(BodyFetch &fetch, const QStringList &sitemaps, const QStringList &feeds, Warn warn);
    ~WebListRows();

    bool isEmpty() const { return m_sitemaps.isEmpty() && m_feeds.isEmpty(); }
    // The next row, or why it is not loaded (`refusal`); false after the last
    // one, or with error() once a sitemap or feed could not be read.
    bool next(QString &address, QString &refusal);
    QString error() const { return m_error; }
    qint64 rows() const { return m_rows; }
    bool allRead() const { return m_allRead; }

private:
    bool nextFromSitemaps(QString &address, QString &refusal);
    bool nextFromFeeds(QString &address, QString &refusal);
    bool openFeed(const QString &address);

    BodyFetch &m_fetch;
    QStringList m_sitemaps;
    QStringList m_feeds;
    Warn m_warn;
    qsizetype m_nextSitemap = 0;
    qsizetype m_nextFeed = 0;
    std::unique_ptr<SitemapReader> m_sitemap;
    std::unique_ptr<FeedReader> m_feed;
    QByteArray m_feedBody;
    QString m_feedAddress;
    bool m_feedIsLocal = false;
    QString m_error;
    qint64 m_rows = 0;
    bool m_allRead = false;
};
