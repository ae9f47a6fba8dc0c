#pragma once

#include "capture/OutputFormat.h"
#include "capture/OutputNames.h"
#include "engine/EngineOptions.h"
#include "engine/PageOutcome.h"
#include "support/ErrorGuard.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <vector>

class IPage;
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
    struct RowResult {
        qint64 row = 0;
        QString url;
        RowOutcome outcome = RowOutcome::Failed;
        QString outputPath; // the file written (or skipped), empty when none was
        QString note;       // the browser's remark on a saved page ("load incomplete")
        QString reason;     // the description of a failed row's last report
        int httpStatus = 0;
        bool fallback = false; // asked for the main content, the page had none
        int tries = 0;      // loads of the row
        qint64 ms = 0;
    };
    // Told of every row as it finishes, in the order rows finish.
    using RowObserver = std::function<void(const RowResult &result)>;

    CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes, IPage &browser,
               IEventPump &pump);

    // Runs over every row; does nothing while a run is already active.
    void start();

    bool isRunning() const { return m_running; }
    Summary lastSummary() const { return m_summary; }
    // The pages rows load in, each its own row at once; by default the one browser given.
    void setBrowsers(const QList<IPage *> &browsers);
    // The addresses of the rows loading now, in list order.
    QStringList loadingRows() const;
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
    // Ends the run after the rows being loaded.
    void requestStop() { if (m_running) m_stopRequested = true; }
    void setWaitLimit(std::chrono::milliseconds limit) { m_waitLimit = limit; }
    // What each file holds; the body's text by default.
    void setOutputFormat(const OutputFormat &format) { m_format = &format; }

    static constexpr qint32 MaxWaitPolls = 10'000'000;
    static int progressValue(qint64 row, qint64 count);
    // Why a run does not start; the batch front end says the same.
    static QString emptyListMessage() { return QStringLiteral("No files added."); }
    static QString missingFolderMessage()
    {
        return QStringLiteral("Folder does not exist. Please select another folder.");
    }

private:
    // A page and the row it loads.
    struct Slot {
        IPage *browser = nullptr;
        PageOutcome outcome;
        qint64 row = 0; // 0 while free
        QString url;
        QString name;
        int tries = 0;
        bool loading = false; // navigated, its outcome not yet taken
        bool ready = false;
        qint64 startAt = 0;   // on the run's clock: the next load waits until then
        qint32 waitPolls = 0;
        QElapsedTimer waited;
        QElapsedTimer rowClock;
    };
    struct NextRow {
        qint64 row = 0; // 0 when none is read
        QString url;
        QString name;
    };

    void run();
    void showBusy();
    bool startRow(ErrorGuard &guard, NextRow &next);
    void load(ErrorGuard &guard, Slot &slot);
    bool waitForPages(ErrorGuard &guard);
    bool takeOutcome(ErrorGuard &guard, Slot &slot);
    void finishRow(ErrorGuard &guard, Slot &slot, bool taken, const QString &pageText,
                   const QString &reason);
    Slot *freeSlot();
    bool nameLoading(const QString &name) const;
    bool anyBusy() const;
    OutputNames &names();
    const OutputNames &names() const;
    int retryPauseMs(const PageOutcome &outcome, int tries) const;
    qint64 hostFreeAt(const QString &url) const;
    QString rowNote(const Slot &slot) const;
    static ErrorGuard::Statement forRow(const QString &url, ErrorGuard::Statement statement,
                                        QString *failure = nullptr);
    void skipRemainingRows(qint64 lastRow, qint64 rowCount);

    IRunView &m_view;
    UrlListModel &m_list;
    IMessageBoxes &m_boxes;
    QList<IPage *> m_browsers;
    IEventPump &m_pump;
    const OutputFormat *m_format = &OutputFormat::text();
    RowObserver m_observer;
    SkipTest m_skipTest;
    Summary m_summary;
    // The browser bounds each row itself; this only ends a wait it never ends.
    std::chrono::milliseconds m_waitLimit{EngineOptions().longestRowMs()};
    static constexpr int WaitSliceMs = 100;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_noEngine = false;
    int m_tries = 1;
    int m_firstPauseMs = 1000;
    int m_hostWaitMs = 0;
    std::vector<Slot> m_slots;
    qint64 m_finished = 0;
    QElapsedTimer m_clock;
    QHash<QString, qint64> m_lastLoadByHost;
    OutputNames m_ownNames;
    OutputNames *m_sharedNames = nullptr;
};
