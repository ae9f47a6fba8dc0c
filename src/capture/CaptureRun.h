#pragma once

#include "capture/OutputNames.h"
#include "engine/EngineOptions.h"
#include "support/ErrorGuard.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>

#include <chrono>
#include <functional>

class IBrowser;
class IEventPump;
class IRunView;
class IMessageBoxes;
class UrlListModel;

// The capture run of the start button: every row's page loaded, its body text
// taken and written to one file in the folder of the folder box.
class CaptureRun
{
public:
    enum class RowOutcome { Saved, Failed, Skipped };
    struct Summary {
        qint64 saved = 0;
        qint64 failed = 0;
        qint64 skipped = 0;
    };
    // True for a row to leave out: its address and the path its file would have.
    using SkipTest = std::function<bool(const QString &url, const QString &outputPath)>;
    // Told of every finished row; `outputPath` is the file written, empty when none was;
    // `note` is the browser's remark on the page ("load incomplete").
    using RowObserver = std::function<void(qint64 row, const QString &url, RowOutcome outcome,
                                           const QString &outputPath, const QString &note)>;

    CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes, IBrowser &browser,
               IEventPump &pump);

    // Runs over every row; does nothing while a run is already active.
    void start();

    bool isRunning() const { return m_running; }
    Summary lastSummary() const { return m_summary; }
    // Of the row last told to the observer: its loads and how long it took.
    int lastRowTries() const { return m_lastRowTries; }
    qint64 lastRowMs() const { return m_lastRowMs; }
    void setRowObserver(RowObserver observer) { m_observer = std::move(observer); }
    // Names reserved across several runs (one list run in parts); by default each run has its own.
    void setOutputNames(OutputNames *names) { m_sharedNames = names; }
    // Up to `tries` loads of a row whose failure may pass; pauses start at `firstPauseMs`.
    void setTries(int tries, int firstPauseMs = 1000)
    {
        m_tries = qMax(tries, 1);
        m_firstPauseMs = qMax(firstPauseMs, 0);
    }
    // At least this long between two loads of the same host.
    void setHostWait(int milliseconds) { m_hostWaitMs = milliseconds; }
    // Rows the test holds true for are counted as skipped, never loaded.
    void setSkipTest(SkipTest test) { m_skipTest = std::move(test); }
    // Ends the run after the row being loaded.
    void requestStop() { if (m_running) m_stopRequested = true; }
    void setWaitLimit(std::chrono::milliseconds limit) { m_waitLimit = limit; }

    static constexpr qint32 MaxWaitPolls = 10'000'000;
    static int progressValue(qint64 row, qint64 count);

private:
    void run();
    OutputNames &names();
    const OutputNames &names() const;
    int retryPauseMs(int tries) const;
    void pause(int milliseconds);
    void waitForHost(const QString &url);
    QString rowNote(const QString &url) const;
    static ErrorGuard::Statement forRow(const QString &url, ErrorGuard::Statement statement);
    void skipRemainingRows(qint64 lastRow, qint64 rowCount);

    IRunView &m_view;
    UrlListModel &m_list;
    IMessageBoxes &m_boxes;
    IBrowser &m_browser;
    IEventPump &m_pump;
    RowObserver m_observer;
    SkipTest m_skipTest;
    Summary m_summary;
    // The browser bounds each row itself; this only ends a wait it never ends.
    std::chrono::milliseconds m_waitLimit{EngineOptions().longestRowMs()};
    static constexpr int WaitSliceMs = 100;
    bool m_running = false;
    bool m_stopRequested = false;
    int m_tries = 1;
    int m_lastRowTries = 0;
    qint64 m_lastRowMs = 0;
    int m_firstPauseMs = 1000;
    int m_hostWaitMs = 0;
    QElapsedTimer m_hostClock;
    QHash<QString, qint64> m_lastLoadByHost;
    OutputNames m_ownNames;
    OutputNames *m_sharedNames = nullptr;
};
