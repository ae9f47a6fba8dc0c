#pragma once

#include "capture/OutputFormat.h"

#include <QStringList>
#include <QTextStream>

class IPage;
class IEventPump;
class ListRows;
class ProgressLine;
class QFileDevice;
class QIODevice;

// Saves the pages of list files without a window, as the start button does.
// The lists are read as the run goes, in chunks of rows, so that they may be
// of any length.
class BatchRun
{
public:
    enum ExitCode { AllSaved = 0, SomeFailed = 1, NothingRun = 2 };

    BatchRun(IPage &browser, IEventPump &pump, QTextStream &out, QTextStream &err);

    // The pages rows load in at once, all of one engine; by default the one browser given.
    void setBrowsers(const QList<IPage *> &browsers) { m_browsers = browsers; }
    // Reads standard input for the list file "-"; without one, "-" is an empty list.
    void setStandardInput(QIODevice *input) { m_stdin = input; }
    // Rows run before those of the list files, one for each address.
    void setAddresses(const QStringList &addresses) { m_addresses = addresses; }
    // Creates a missing folder, with its parents, rather than refusing it.
    void setCreatesFolder(bool creates) { m_createsFolder = creates; }
    // Up to this many loads of a row whose failure may pass.
    void setTries(int tries) { m_tries = tries; }
    // At least this long between two loads of the same host.
    void setHostWait(int milliseconds) { m_hostWaitMs = milliseconds; }
    // Skips rows whose file exists already.
    void setNoClobber(bool on) { m_noClobber = on; }
    // Records saved rows in the file and skips those it records.
    void setArchive(const QString &path) { m_archivePath = path; }
    // Takes only the rows of shard `shard` (1 to `shards`): those whose plain
    // output name hashes there, so colliding names share a shard.
    void setShard(int shard, int shards) { m_shard = shard; m_shards = shards; }
    // The shard of an output name: SHA-256's first 8 bytes modulo the shards, plus 1.
    static int shardOf(const QString &fileName, int shards);
    // The extension of the files written, ".txt" by default.
    void setOutputFormat(const OutputFormat &format) { m_format = &format; }
    // Adds "fallback" to the report: whether a row had no main content.
    void setMainContent(bool on) { m_mainContent = on; }
    // Writes one JSON object per finished row to the device (JSON Lines).
    void setReport(QFileDevice *report) { m_report = report; }
    // Prints only failed rows, error reports and the summary.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    // The terminal's progress line, kept up to date while rows run; none by default.
    void setProgressLine(ProgressLine *progress) { m_progress = progress; }
    // The longest wait for one row; the browser normally ends it sooner.
    void setRowWaitLimit(int milliseconds) { m_rowWaitLimitMs = milliseconds; }
    // The most rows one capture run takes.
    void setChunkRows(int rows) { m_chunkRows = qMax(rows, 1); }
    int run(const QStringList &listFiles, const QString &folder);
    // Ends the output of a run stopped by a signal: the rows finished so far.
    void printStoppedBySignal();

private:
    void printRow(qint64 row, qint64 total, const QString &url, bool saved,
                  const QString &outputPath = {}, const QString &note = {});
    static QString rowPrefix(qint64 row, qint64 total);
    void printSkipped(qint64 row, qint64 total, const QString &url, const QString &reason);
    struct RowRecord {
        qint64 row = 0;
        QString address;
        QString outcome; // "saved", "failed" or "skipped"
        QString file;
        QString reason;
        int httpStatus = 0;
        qint64 ms = 0;
        int tries = 0;
        bool fallback = false;
    };
    void writeReport(const RowRecord &record);
    bool inShard(const QString &row) const;
    qint64 shownTotal(const ListRows &rows) const;
    void printSummary();
    void showProgress();

    IPage &m_browser;
    QList<IPage *> m_browsers;
    IEventPump &m_pump;
    QTextStream &m_out;
    QTextStream &m_err;
    QIODevice *m_stdin = nullptr;
    QStringList m_addresses;
    bool m_createsFolder = false;
    bool m_quiet = false;
    bool m_noClobber = false;
    int m_tries = 1;
    int m_hostWaitMs = 0;
    QString m_archivePath;
    QFileDevice *m_report = nullptr;
    const OutputFormat *m_format = &OutputFormat::text();
    bool m_mainContent = false;
    int m_shard = 1;
    int m_shards = 1;
    qint64 m_skippedRows = 0;
    ProgressLine *m_progress = nullptr;
    int m_rowWaitLimitMs = 0;
    int m_chunkRows = 500;
    // The run going on.
    const ListRows *m_rows = nullptr;
    qint64 m_saved = 0;
    qint64 m_failed = 0;
};
