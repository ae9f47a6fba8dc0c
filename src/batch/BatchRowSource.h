#pragma once

#include "batch/BatchOptions.h"
#include "batch/FailedRows.h"
#include "capture/IRowSource.h"
#include "capture/NameTemplate.h"
#include "crawl/CrawlRows.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class BodyFetch;
class CrawlState;
class IEventPump;
class IPage;
class ListRows;
class QIODevice;
class QTextStream;
class RobotsGate;
class SavedRows;
class WebListRows;
struct OutputFormat;

// The rows of a batch run as its queue takes them: the addresses and list
// files as they stream, then the sitemaps and feeds, fetched in the background
// when the run comes to them; each row named (by the name template) and kept
// when it is in the run's shard. With --robots, each kept row's site's
// robots.txt is fetched as the row is read; the row waits for it while others
// start, and is skipped when robots.txt disallows it or the archive has it.
// In a crawl (-r) those rows are its start addresses, and the rows come from
// its frontier: the start addresses and the links of the pages saved.
class BatchRowSource : public IRowSource
{
public:
    using Warn = std::function<void(const QString &warning)>;
    // `namesFiles`: the rows' texts go to files, so a name that can make none fails its row.
    BatchRowSource(const BatchOptions &options, const OutputFormat &format, bool namesFiles, Warn warn);
    ~BatchRowSource() override;

    // Rows of an earlier run given before the lists, under their recorded names.
    void setRetriedRows(QList<FailedRows::Row> rows) { m_retried = std::move(rows); }
    // Opens the lists, checked before (ListRows::problem); "-" reads `input`.
    // `afterRead` runs after each read of a list.
    void openLists(QIODevice *input, QTextStream &err, std::function<void()> afterRead);
    // Starts fetching sitemaps, feeds and robots.txt files through `page`, when
    // the options ask for it; false when they do and there is no page.
    bool startFetching(IPage *page, IEventPump &pump);
    // Reads the first row ahead, while events run (a sitemap on its way); false when there is none.
    bool readFirst(IEventPump &pump);
    // Told when what is read now (reading()) changes.
    void setReadingChanged(std::function<void()> changed) { m_readingChanged = std::move(changed); }
    // The archive and the existing files whose rows are skipped.
    void setHistory(const SavedRows *history) { m_history = history; }
    // With -r: opens the crawl's state file (its own in the folder, or --state);
    // false with the reason it cannot be used.
    bool openCrawl(QString *error);
    // The crawl going on, or none.
    CrawlFrontier *crawl() const { return m_crawl ? &m_crawl->frontier() : nullptr; }
    CrawlState *crawlState() const { return m_crawl ? &m_crawl->state() : nullptr; }

    Next next() override;
    bool readyToStart(const QueuedRow &row) override;
    QString skipReason(const QueuedRow &row, const QString &outputPath) override;
    QString skipLoaded(const QueuedRow &row, const PageOutcome &outcome) override;
    QString unchangedUnloaded(const QueuedRow &row, const QString &outputPath) override;
    PageValidators validatorsOf(const QueuedRow &row, const QString &outputPath) override;
    RowChange changeOf(const QueuedRow &row, const PageOutcome &outcome, const QString &outputPath) override;
    void rowEnded(const RowResult &result) override;

    RobotsGate *robots() const { return m_robots.get(); }
    // The rows there are in all once all are read, else -1.
    qint64 total() const;
    // The rows given so far, and whether there are no more.
    qint64 rowsGiven() const { return m_rowsGiven; }
    bool ended() const { return m_ended; }
    bool readFailed() const;
    // A sitemap or feed could not be read: the rows already given run, no further ones.
    bool failed() const { return m_failed; }
    // The sitemap or feed being read, as the progress line shows it, or empty.
    QString reading() const { return m_reading; }

    // The name a {row} template gave the address, when a file had it before the
    // run: the row was numbered instead, so that no earlier file is replaced.
    QString existingNameOf(const QString &address) const { return m_existingNames.value(address); }

    // The shard of an output name: SHA-256's first 8 bytes modulo the shards, plus 1.
    static int shardOf(const QString &fileName, int shards);

private:
    struct ListedRow {
        QString text;
        QString failure;
        QDateTime lastModified; // a sitemap's <lastmod>, or null
        std::optional<FailedRows::Row> retried;
    };
    // The next row of the lists, then of the sitemaps and feeds.
    Answer nextListed(ListedRow &row);
    bool inShard(const Next &row) const;
    Next nextCrawled();
    // Reads start addresses of the lists into the crawl; a row that can never load, if one is read.
    std::optional<Next> readStarts();
    // The row's name by the template (or the fixed rule, restricted), or its failure.
    void name(Next &row, qint64 number, bool retried = false);
    // A name from a {row} template that a file has already gets the next free number.
    QString unclaimed(const QString &address, const QString &name);

    const BatchOptions &m_options;
    const OutputFormat &m_format;
    bool m_namesFiles = true;
    Warn m_warn;
    NameTemplate m_template;
    std::unique_ptr<ListRows> m_rows;
    std::unique_ptr<BodyFetch> m_fetch;
    std::unique_ptr<WebListRows> m_webRows;
    std::unique_ptr<RobotsGate> m_robots;
    std::unique_ptr<CrawlRows> m_crawl;
    bool m_startsRead = false;
    const SavedRows *m_history = nullptr;
    std::function<void()> m_readingChanged;
    QString m_reading;
    QList<FailedRows::Row> m_retried;
    qsizetype m_nextRetried = 0;
    QHash<QString, QString> m_existingNames;
    std::optional<ListedRow> m_firstRow; // read to see that the lists are not empty
    qint64 m_listRow = 0; // the number of the row read last, before the shards
    qint64 m_rowsGiven = 0;
    bool m_listsRead = false;
    bool m_ended = false;
    bool m_failed = false;
};
