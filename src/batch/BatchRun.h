#pragma once

#include "batch/BatchOptions.h"
#include "batch/FailureHints.h"
#include "batch/OwnFiles.h"
#include "batch/RowTimeline.h"
#include "capture/IRunObserver.h"
#include "capture/OutputFormat.h"
#include "capture/RowReport.h"
#include "crawl/CrawlState.h"

#include <QList>
#include <QTextStream>

#include <memory>

class BatchRowSource;
class ClosedOutputWatch;
class IEventPump;
class IPage;
class ProgressLine;
class QFileDevice;
class RowQueue;
class QFile;
class QIODevice;
class OrderedOutput;
class SavedRows;
class StandardOutputWriter;

// Saves the pages of list files without a window: the rows stream from the
// lists through one row queue, whatever their number, and every finished row
// is one line, one report record and, when saved, one archive entry.
class BatchRun : private IRunObserver
{
public:
    enum ExitCode { AllSaved = 0, SomeFailed = 1, NothingRun = 2 };

    BatchRun(const BatchOptions &options, const QList<IPage *> &pages, IEventPump &pump, QTextStream &out,
             QTextStream &err);
    ~BatchRun() override;

    // Reads standard input for the list file "-"; without one, "-" is an empty list.
    void setStandardInput(QIODevice *input) { m_stdin = input; }
    // Writes one JSON object per finished row to the device (JSON Lines).
    void setReport(QFileDevice *report) { m_reportDevice = report; }
    // The terminal's progress line, kept up to date while rows run; none by default.
    void setProgressLine(ProgressLine *progress) { m_progress = progress; }
    // Where the texts go with -O -: in list order, whatever order rows finish in.
    void setTextOutput(OrderedOutput *output) { m_textOutput = output; }
    // Told after every row whether standard output is still read.
    void setOutputWatch(ClosedOutputWatch *watch) { m_outputWatch = watch; }
    // The page that fetches sitemaps, feeds and robots.txt files; none of the run's own.
    void setFetchPage(IPage *page) { m_fetchPage = page; }
    // Where --spider lists the addresses a crawl finds.
    void setFoundList(QTextStream *list) { m_foundList = list; }

    int run();
    // Ends the output of a run stopped by a signal: the rows finished so far.
    void printStoppedBySignal();

    // What every error message of the batch begins with.
    static QString errorPrefix() { return QStringLiteral("textorin-batch: "); }
    // The shard of an output name (BatchRowSource::shardOf).
    static int shardOf(const QString &fileName, int shards);

private:
    void loadEnded(const QueuedRow &row, int page, const PageOutcome &outcome, const LoadTimes &times) override;
    void rowFinished(const RowResult &result) override;

    int runRows();
    void checkRedirects(bool check);
    // Why the folder cannot take the files, or empty.
    QString prepareFolder();
    // With --format jsonl and no -O -: the records go to records.jsonl in the folder, one a line.
    bool recordsInOneFile() const { return m_options.jsonLines && !m_textOutput && !m_options.spider; }
    // Whether each row's text makes a file of its own.
    bool textsInFiles() const { return !m_textOutput && !recordsInOneFile(); }
    // Opens records.jsonl to add to; why it cannot be, or empty.
    QString openRecords();
    // What the texts are written to when not to files: standard output, or records.jsonl.
    QString textsName() const;
    // Whether the run has more than one row, or may have (a list, a sitemap, a crawl).
    bool severalRows() const;
    // Warns once, before the first row, of an -o that cannot name the rows apart.
    void warnAboutTemplate();
    // One error message on standard error, in the program's own style.
    void complain(const QString &message);
    // Names the file's first failed write; `named` keeps it to one message a file.
    void cannotWrite(const QString &path, const QString &reason, bool &named);
    void passTextFailure();
    void printRow(const RowResult &result);
    QString rowPrefix(qint64 row) const;
    qint64 shownTotal() const;
    void printSummary();
    void printCrawlSummary();
    void printChangeSummary();
    void countChange(const RowResult &result);
    // Ends the crawl's pass when its rows did, reporting the pages no longer linked.
    void endPass(const RowQueue &queue);
    void reportGone(const CrawlState::Entry &entry);
    // Opens a crawl's state and readies what the run keeps of it; false when it cannot run.
    bool startCrawl(RowQueue &queue);
    // What --report's records hold for these options.
    RowReport::Fields reportFields() const;
    void listFound(const QString &address, int depth);
    void showProgress();

    BatchOptions m_options;
    const OutputFormat m_format; // the table's, with --front-matter's header
    QList<IPage *> m_pages;
    IEventPump &m_pump;
    QTextStream &m_out;
    QTextStream &m_err;
    QIODevice *m_stdin = nullptr;
    QFileDevice *m_reportDevice = nullptr;
    ProgressLine *m_progress = nullptr;
    OrderedOutput *m_textOutput = nullptr;
    ClosedOutputWatch *m_outputWatch = nullptr;
    IPage *m_fetchPage = nullptr;
    QTextStream *m_foundList = nullptr;

    // The run going on.
    std::unique_ptr<BatchRowSource> m_source;
    std::unique_ptr<SavedRows> m_history;
    std::unique_ptr<RowReport> m_report;
    std::unique_ptr<StandardOutputWriter> m_texts;
    std::unique_ptr<QFile> m_recordsFile; // records.jsonl
    std::unique_ptr<OrderedOutput> m_records; // of records.jsonl, in list order
    OwnFiles m_ownFiles; // no page's file takes their place
    RowTimeline m_timeline;
    qsizetype m_retriedRows = 0; // of --retry-failed
    FailureHints m_hints;
    qint64 m_saved = 0;
    qint64 m_failed = 0;
    qint64 m_skipped = 0;
    qint64 m_changes[5] = {}; // rows by RowChange::Kind
    bool m_unlinkedUntold = false; // a failure kept links from being followed: none is gone for want of one
    QString m_crawlEnd; // what ended a crawl before its links did
    bool m_archiveFailed = false;
    bool m_reportFailed = false;
    bool m_textOutputFailed = false;
};
