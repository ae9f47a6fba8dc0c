#pragma once

#include "app/GuardedPage.h"
#include "capture/FolderOutput.h"
#include "capture/IRowSource.h"
#include "capture/IRunObserver.h"
#include "capture/RowQueue.h"
#include "crawl/CrawlRows.h"
#include "support/ErrorGuard.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IEventPump;
class IMessageBoxes;
class IPage;
class IRunView;
class ListCrawl;
class UrlListModel;

// The capture run of the start button: every row of the list loaded in the
// window's pages, its text written to one file in the folder of the folder
// box, and its outcome shown on its row. The steps the window shows (the
// checks, the pointer, the bar and its captions, the page's load and take, the
// write, "Done.") run through the operation's error guard; a page that cannot
// be had is no fault of the program and only marks its row.
//
// A run that was stopped, or that rows were added to, leaves the list to be
// continued: the next start runs only the rows not done (never reached,
// stopped, or added since), deciding by the list's row states, and keeps the
// other rows' states. Rows whose address a row kept saved are skipped.
class CaptureRun : private IRowSource, private IRunObserver, private FolderOutput
{
public:
    using RowObserver = std::function<void(const RowResult &result)>;

    CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes, const QList<IPage *> &pages, IEventPump &pump);
    ~CaptureRun() override;

    // Runs over every row of the list, or continues a run left to be
    // continued; does nothing while a run is active.
    void start();
    // Runs every row of the list again, whatever an earlier run did.
    void startOver();
    // Runs only these rows (numbered from 1); the other rows keep their states.
    void retryRows(const QList<int> &rows);
    // Runs the rows that failed.
    void retryFailed();
    // Stops at once: no further row starts, the rows loading are aborted.
    void requestStop();
    bool isRunning() const { return m_queue.isRunning(); }
    RowQueue::Summary lastSummary() const { return m_queue.summary(); }
    // The rows' results of the runs since the list was last run whole: the
    // latest of each row, in row order.
    QList<RowResult> runResults() const { return m_results.values(); }
    // Shows a short note in the progress caption for a while during a run.
    void showNote(const QString &note);
    // The clock the seconds of "Please wait" are read from, in milliseconds.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // Told of every row as it finishes.
    void setRowObserver(RowObserver observer) { m_observer = std::move(observer); }
    void setWaitLimit(std::chrono::milliseconds limit) { m_queue.setWaitLimit(limit); }
    // The site rules the next runs' rows load by (after the wait limit: they may lengthen it).
    void setRules(RowRules rules) { m_queue.setRules(std::move(rules)); }
    // Called as a run starts, to set the pages up; the problems it returns are shown once.
    void setEngineSetup(std::function<QStringList()> setup) { m_engineSetup = std::move(setup); }
    // What a run saves, how often it loads a row whose failure may pass, and the
    // least time between two loads of one host; set by the engine set-up.
    void setRunSettings(const OutputFormat &format, int tries, int hostWaitMs);
    // A run that keeps a state in the folder (following links from the rows,
    // telling what changed), or none; set by the engine set-up. A retry of
    // chosen rows runs them without it.
    void setCrawl(std::optional<CrawlRows::Settings> settings) { m_crawlSettings = std::move(settings); }

    static int progressValue(qint64 row, qint64 count);
    // "8 saved, 2 failed", with the skipped rows when there are any.
    static QString countsText(const RowQueue::Summary &summary);
    // "Processing: NAME (row 117 of 501; 110 saved, 5 failed)".
    static QString processingText(const QString &name, qint64 row, qint64 rows, const RowQueue::Summary &counts);
    static QString waitText(qint64 seconds);
    static const QString &stoppingText();
    static const QString &notInRunText();

private:
    enum class Scope { Whole, Continue, Chosen };

    void startRun(Scope scope, const QList<int> &chosen = {});
    void run(ErrorGuard &guard, Scope scope, const QList<int> &chosen);
    QList<int> rowsOf(Scope scope, const QList<int> &chosen) const;
    void prepareRows(Scope scope);
    void setCaption(const QString &caption);
    bool captionHeld() const;
    int listRowOf(qint64 number) const { return m_listRows.value(number); }
    void rowsRemoved(int first, int last);
    void rowsInserted(int first, int last);
    void showBusy();
    void setUpEngine(ErrorGuard &guard);
    void finishRun(ErrorGuard &guard, qint64 rowCount);

    static std::vector<std::unique_ptr<GuardedPage>> guarded(const QList<IPage *> &pages, ErrorGuard *const &guard,
                                                             std::function<void()> showBusy);
    static QList<IPage *> pagesOf(const std::vector<std::unique_ptr<GuardedPage>> &pages);

    Next next() override;
    QString skipReason(const QueuedRow &row, const QString &outputPath) override;
    QString skipLoaded(const QueuedRow &row, const PageOutcome &outcome) override;
    QString unchangedUnloaded(const QueuedRow &row, const QString &outputPath) override;
    PageValidators validatorsOf(const QueuedRow &row, const QString &outputPath) override;
    RowChange changeOf(const QueuedRow &row, const PageOutcome &outcome, const QString &outputPath) override;
    void rowEnded(const RowResult &result) override;
    bool openCrawl(ErrorGuard &guard, Scope scope);
    void markGone();
    void rowStarted(const QueuedRow &row) override;
    void waiting(const QueuedRow &row, qint32 polls) override;
    void rowFinished(const RowResult &result) override;
    QString folder() const override;
    bool writeFile(const QueuedRow &row, const QString &path, const QString &text, QString *failure) override;

    IRunView &m_view;
    UrlListModel &m_list;
    IMessageBoxes &m_boxes;
    IEventPump &m_pump;
    ErrorGuard *m_guard = nullptr; // of the run going on
    std::vector<std::unique_ptr<GuardedPage>> m_pages;
    RowQueue m_queue;
    RowObserver m_observer;
    std::function<QStringList()> m_engineSetup;
    std::function<qint64()> m_clock;
    const OutputFormat *m_format = &OutputFormat::text();
    qint64 m_rowCount = 0;
    QList<int> m_runRows; // the list rows of the run, in order
    qsizetype m_nextRow = 0;
    QHash<qint64, int> m_listRows; // the queue's numbers to list rows
    QHash<qint64, qint64> m_startedAt; // by the queue's number
    QHash<QString, int> m_savedBefore; // addresses of rows saved before a continued run
    RowQueue::Summary m_kept; // the rows a continued run keeps
    int m_rowsAtStart = 0;
    bool m_rowsAdded = false;
    bool m_continueNext = false;
    bool m_stopping = false;
    QString m_caption;
    qint64 m_noteUntil = -1;
    QStringList m_failures;
    QMap<int, RowResult> m_results;
    QList<QMetaObject::Connection> m_connections;
    std::optional<CrawlRows::Settings> m_crawlSettings;
    std::unique_ptr<ListCrawl> m_crawl; // of the run going on, when it keeps a state
    bool m_addingFound = false; // a page the crawl found joins the list
    bool m_engineReported = false;
};
