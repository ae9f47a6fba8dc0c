#pragma once

#include "app/GuardedPage.h"
#include "capture/FolderOutput.h"
#include "capture/IRowSource.h"
#include "capture/IRunObserver.h"
#include "capture/RowQueue.h"
#include "support/ErrorGuard.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class IEventPump;
class IMessageBoxes;
class IPage;
class IRunView;
class UrlListModel;

// The capture run of the start button: every row of the list loaded in the
// window's pages, its text written to one file in the folder of the folder
// box, and its outcome shown on its row. The steps the window shows (the
// checks, the pointer, the bar and its captions, the page's load and take, the
// write, "Done.") run through the operation's error guard; a page that cannot
// be had is no fault of the program and only marks its row.
class CaptureRun : private IRowSource, private IRunObserver, private FolderOutput
{
public:
    using RowObserver = std::function<void(const RowResult &result)>;

    CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes, const QList<IPage *> &pages, IEventPump &pump);
    ~CaptureRun() override;

    // Runs over every row of the list; does nothing while a run is active.
    void start();
    // Runs every row of the list again, whatever an earlier run did.
    void startOver();
    // Runs only these rows (numbered from 1).
    void retryRows(const QList<int> &rows);
    // Runs the rows that failed.
    void retryFailed();
    // Ends the run after the rows loading; no further row starts.
    void requestStop();
    bool isRunning() const { return m_queue.isRunning(); }
    RowQueue::Summary lastSummary() const { return m_queue.summary(); }
    // The rows' results of the runs since the list was last run whole: the
    // latest of each row, in row order.
    QList<RowResult> runResults() const { return m_results; }
    // Told of every row as it finishes.
    void setRowObserver(RowObserver observer) { m_observer = std::move(observer); }
    void setWaitLimit(std::chrono::milliseconds limit) { m_queue.setWaitLimit(limit); }
    // Called as a run starts, to set the pages up; the problems it returns are shown once.
    void setEngineSetup(std::function<QStringList()> setup) { m_engineSetup = std::move(setup); }
    // What a run saves, how often it loads a row whose failure may pass, and the
    // least time between two loads of one host; set by the engine set-up.
    void setRunSettings(const OutputFormat &format, int tries, int hostWaitMs);

    static int progressValue(qint64 row, qint64 count);
    // "8 saved, 2 failed", with the skipped rows when there are any.
    static QString countsText(const RowQueue::Summary &summary);

private:
    void run(ErrorGuard &guard);
    void showBusy();
    void setUpEngine(ErrorGuard &guard);
    void finishRun(ErrorGuard &guard, qint64 rowCount);

    static std::vector<std::unique_ptr<GuardedPage>> guarded(const QList<IPage *> &pages, ErrorGuard *const &guard,
                                                             std::function<void()> showBusy);
    static QList<IPage *> pagesOf(const std::vector<std::unique_ptr<GuardedPage>> &pages);

    Next next() override;
    QString skipReason(const QueuedRow &row, const QString &outputPath) override;
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
    const OutputFormat *m_format = &OutputFormat::text();
    qint64 m_rowCount = 0;
    qint64 m_nextRow = 0;
    QStringList m_failures;
    QList<RowResult> m_results;
    bool m_engineReported = false;
};
