#pragma once

#include "capture/IRowSource.h"
#include "capture/IRowSteps.h"
#include "capture/RowQueue.h"
#include "support/ErrorGuard.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class IEventPump;
class IMessageBoxes;
class IPage;
class IRunView;
class UrlListModel;

// The capture run of the start button: every row of the list loaded in the
// window's pages, its text written to one file in the folder of the folder
// box, and its outcome shown on its row. The steps the window shows (the
// checks, the pointer, the bar and its captions, the write, "Done.") run
// through the operation's error guard; a page that cannot be had is no fault
// of the program and only marks its row.
class CaptureRun : private IRowSource, private IRowSteps
{
public:
    using RowObserver = std::function<void(const RowResult &result)>;

    CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes,
               const QList<IPage *> &pages, IEventPump &pump);
    ~CaptureRun() override;

    // Runs over every row of the list; does nothing while a run is active.
    void start();
    // Ends the run after the rows loading; no further row starts.
    void requestStop();
    bool isRunning() const { return m_queue.isRunning(); }
    RowQueue::Summary lastSummary() const { return m_queue.summary(); }
    // Told of every row as it finishes.
    void setRowObserver(RowObserver observer) { m_observer = std::move(observer); }
    void setWaitLimit(std::chrono::milliseconds limit) { m_queue.setWaitLimit(limit); }
    // Called as a run starts, to set the pages up; the problems it returns are shown once.
    void setEngineSetup(std::function<QStringList()> setup) { m_engineSetup = std::move(setup); }

    static int progressValue(qint64 row, qint64 count);
    // The end of every run, and why a run does not start.
    static QString doneMessage() { return QStringLiteral("Done."); }
    static QString emptyListMessage() { return QStringLiteral("No files added."); }
    static QString missingFolderMessage()
    {
        return QStringLiteral("Folder does not exist. Please select another folder.");
    }
    // "8 saved, 2 failed", with the skipped rows when there are any.
    static QString countsText(const RowQueue::Summary &summary);

private:
    void run(ErrorGuard &guard);
    void showBusy();
    void setUpEngine(ErrorGuard &guard);
    void finishRun(ErrorGuard &guard, qint64 rowCount);

    bool next(QString &text, QString &refusal) override;
    QString folder() const override;
    QString skipReason(const QueuedRow &row, const QString &outputPath) override;
    void rowStarted(const QueuedRow &row) override;
    void waiting(const QueuedRow &row, qint32 polls) override;
    bool runStep(Step step, const QueuedRow &row, const std::function<void()> &statement,
                 QString *failure) override;
    bool write(const QueuedRow &row, const QString &path, const QString &content,
               QString *failure) override;
    void rowFinished(const RowResult &result) override;

    IRunView &m_view;
    UrlListModel &m_list;
    IMessageBoxes &m_boxes;
    IEventPump &m_pump;
    RowQueue m_queue;
    RowObserver m_observer;
    std::function<QStringList()> m_engineSetup;
    ErrorGuard *m_guard = nullptr; // of the run going on
    qint64 m_rowCount = 0;
    qint64 m_nextRow = 0;
    QStringList m_failures;
    bool m_engineReported = false;
};
