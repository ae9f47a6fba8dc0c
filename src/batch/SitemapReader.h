#pragma once

#include "capture/IRowSource.h"
#include "engine/PageOutcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QXmlStreamReader>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BodyFetch;

// The addresses of a sitemap, read as they are needed: an index's sitemaps are
// fetched one at a time, in the background and in its order, when the run comes
// to them, so only the files being read are held. A gzipped file is inflated; a file that is no XML
// is read as a text sitemap, one address a line. At most 50000 entries are
// taken from each file, the others named in one warning. A sitemap of the web
// never leads to a local file. An entry's <lastmod> goes with its address.
class SitemapReader
{
public:
    static constexpr qint64 MaxEntries = 50'000;
    static constexpr qint64 MaxInflatedBytes = 50 * 1024 * 1024;
    // An index, an index it lists (which the protocol does not allow, but sites
    // do), then a sitemap.
    static constexpr int MaxDepth = 3;

    using Warn = std::function<void(const QString &warning)>;
    SitemapReader(BodyFetch &fetch, const QString &address, Warn warn);
    ~SitemapReader();

    // The next address (Row), with why it is not loaded in `failure` and, when
    // asked, its entry's <lastmod> in UTC (null when it has none or an invalid
    // one); NotYet while a file is on its way; End after the last one, or with
    // error() once a file could not be read.
    IRowSource::Answer next(QString &address, QString &failure, QDateTime *lastModified = nullptr);
    QString error() const { return m_error; }
    // Told the address of each file before it is fetched.
    void setFetching(std::function<void(const QString &address)> fetching) { m_fetching = std::move(fetching); }
    // The files fetched so far, and the addresses given.
    qint64 filesRead() const { return m_filesRead; }
    qint64 rowsGiven() const { return m_rowsGiven; }

private:
    struct File;

    bool open(const QString &address, const File *parent);
    bool opened();
    bool nextEntry(File &file, QString &entry, QDateTime &lastModified);
    bool nextTextEntry(File &file, QString &entry);
    void close();
    bool allowed(const QUrl &url, const File &file) const;

    BodyFetch &m_fetch;
    Warn m_warn;
    std::function<void(const QString &address)> m_fetching;
    qint64 m_filesRead = 0;
    qint64 m_rowsGiven = 0;
    QString m_start;
    bool m_started = false;
    std::vector<std::unique_ptr<File>> m_files; // the index, then the file it leads to
    std::unique_ptr<File> m_opening; // the file on its way
    std::shared_ptr<std::optional<PageOutcome>> m_answer; // its answer, once in
    QSet<QString> m_opened;
    QString m_error;
};
