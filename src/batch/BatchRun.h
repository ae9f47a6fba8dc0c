#pragma once

#include "batch/BatchOptions.h"
#include "batch/ListRows.h"
#include "batch/OwnFiles.h"
#include "batch/RowTimeline.h"
#include "capture/IRowSource.h"
#include "capture/IRowSteps.h"
#include "capture/NameTemplate.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <optional>

class ClosedOutputWatch;
class BodyFetch;
class IEventPump;
class IPage;
class ProgressLine;
class QFileDevice;
class QIODevice;
class OrderedOutput;
class RobotsGate;
class RowQueue;
class SavedRows;
class WebListRows;
struct OutputFormat;

// Saves the pages of list files without a window: the rows stream from the
// lists through one row queue, whatever their number, and every finished row
// is one line, one report record and, when saved, one archive entry.
class BatchRun : private IRowSource, private IRowSteps
{
public:
    enum ExitCode { AllSaved = 0, SomeFailed = 1, NothingRun = 2 };

    BatchRun(const BatchOptions &options, const QList<IPage *> &pages, IEventPump &pump,
             QTextStream &out, QTextStream &err);
    ~BatchRun() override;

    // Reads standard input for the list file "-"; without one, "-" is an empty list.
    void setStandardInput(QIODevice *input) { m_stdin = input; }
    // Writes one JSON object per finished row to the device (JSON Lines).
    void setReport(QFileDevice *report) { m_report = report; }
    // The terminal's progress line, kept up to date while rows run; none by default.
    void setProgressLine(ProgressLine *progress) { m_progress = progress; }
    // Where the texts go with -O -: in list order, whatever order rows finish in.
    void setTextOutput(OrderedOutput *output) { m_textOutput = output; }
    // Told after every row whether standard output is still read.
    void setOutputWatch(ClosedOutputWatch *watch) { m_outputWatch = watch; }
    // The page that fetches sitemaps, feeds and robots.txt files; none of the run's own.
    void setFetchPage(IPage *page) { m_fetchPage = page; }
    // The first pause before a row is tried again (doubling from there).
    void setFirstRetryPause(int milliseconds) { m_firstPauseMs = milliseconds; }

    int run();
    // Ends the output of a run stopped by a signal: the rows finished so far.
    void printStoppedBySignal();

    // What every error message of the batch begins with.
    static QString errorPrefix() { return QStringLiteral("textorin-batch: "); }
    // The shard of an output name: SHA-256's first 8 bytes modulo the shards, plus 1.
    static int shardOf(const QString &fileName, int shards);

private:
    struct RowRecord {
        qint64 row = 0;
        QString address;
        QString outcome; // "saved", "failed" or "skipped"
        QString file;
        QString reason;
        int httpStatus = 0;
        QString contentType;
        qint64 ms = 0;
        int tries = 0;
        bool fallback = false;
        QString formatFallback;
        qint64 textBytes = -1; // of a text written to standard output
    };

    struct SourceRow {
        QString text;
        QString refusal;
    };

    bool next(QString &text, QString &refusal) override;
    QString folder() const override { return m_options.folder; }
    QString skipReason(const QueuedRow &row, const QString &outputPath) override;
    bool readyToStart(const QueuedRow &row) override;
    bool writesFiles() const override { return !m_textOutput; }
    bool write(const QueuedRow &row, const QString &path, const QString &content,
               QString *failure) override;
    void rowFinished(const RowResult &result) override;
    void passText(const RowResult &result);

    // The next row of the lists, then of the sitemaps and feeds.
    std::optional<SourceRow> nextRow();
    bool startFetching();
    void checkRedirects(bool check);
    QString plainName(const QString &row, QString *refusal) const;
    QString nameInFolder(const QString &path) const;

    // Why the folder cannot take the files, or empty.
    QString prepareFolder();
    // One error message on standard error, in the program's own style.
    void complain(const QString &message);
    // Names the file's first failed write; `named` keeps it to one message a file.
    void cannotWrite(const QString &path, const QString &reason, bool &named);
    void printRow(const RowResult &result);
    QString rowPrefix(qint64 row) const;
    void writeReport(const RowRecord &record);
    bool inShard(const QString &row) const;
    qint64 shownTotal() const;
    void printSummary();
    void showProgress();

    BatchOptions m_options;
    const OutputFormat &m_format;
    QList<IPage *> m_pages;
    IEventPump &m_pump;
    QTextStream &m_out;
    QTextStream &m_err;
    QIODevice *m_stdin = nullptr;
    QFileDevice *m_report = nullptr;
    ProgressLine *m_progress = nullptr;
    OrderedOutput *m_textOutput = nullptr;
    ClosedOutputWatch *m_outputWatch = nullptr;
    int m_firstPauseMs = 1000;

    // The run going on.
    std::unique_ptr<ListRows> m_rows;
    std::unique_ptr<SavedRows> m_history;
    OwnFiles m_ownFiles; // no page's file takes their place
    RowQueue *m_queue = nullptr;
    std::optional<SourceRow> m_firstRow; // read to see that the list is not empty
    RowTimeline m_timeline;
    NameTemplate m_template;
    qint64 m_listRow = 0; // the number of the row read last, before the shards
    IPage *m_fetchPage = nullptr;
    std::unique_ptr<BodyFetch> m_fetch;
    std::unique_ptr<WebListRows> m_webRows;
    QString m_reading; // the sitemap or feed being read, as the progress line shows it
    std::unique_ptr<RobotsGate> m_robots;
    bool m_listsRead = false;
    bool m_sourceFailed = false;
    qint64 m_saved = 0;
    qint64 m_failed = 0;
    qint64 m_skipped = 0;
    bool m_archiveFailed = false;
    bool m_reportFailed = false;
    bool m_textOutputFailed = false;
    qint64 m_rowsGiven = 0;
    bool m_headsChosen = false;
    std::optional<QByteArray> m_text; // of the row being finished, with -O -
};
