#include "app/CaptureRun.h"
#include "app/MousePointer.h"
#include "capture/OutputFile.h"
#include "capture/OutputFormat.h"
#include "fakes/CountingEventPump.h"
#include "fakes/FakeFormView.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakePage.h"
#include "fakes/TestFiles.h"
#include "urllist/UrlListModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    Fixture() { view.folder = folder.path() + QLatin1Char('/'); }

    void add(const QString &url, const QString &text, int polls = 0, const QString &error = {})
    {
        list.append(url);
        page.rows.insert(url, {text, polls, error});
    }
    QString file(const QString &url, const QString &in = {}) const
    {
        return QString::fromUtf8(
            readTestFile(MakeOutputPath(in.isEmpty() ? folder.path() : in, MakeOutputFileName(url))));
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir folder;
    FakeFormView view;
    UrlListModel list;
    FakeMessageBoxes boxes;
    FakePage page;
    CountingEventPump pump;
    CaptureRun run{view, list, boxes, {&page}, pump};
};

} // namespace

class TestCaptureRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyListIsRefusedFirst();
    void unusableFolderIsRefused_data();
    void unusableFolderIsRefused();
    void savesEveryRowWithProgressAndFinishes();
    void unusableSettingsAreShownOnceAsTheRunStarts();
    void followingARunShowsTheRowCountsAndSeconds();
    void captionShowsTheTextAfterTheLastBackslash();
    void failedPagesMarkTheirRowsAndTheRunGoesOn();
    void failedStepsAreReportedAndFailTheirRow();
    void pageThatNeverCompletesIsTakenAtTheBound();
    void secondPressDuringARunDoesNothing();
    void rowsAddedDuringARunAreLeftForTheNext();
    void folderChangedDuringARunTakesTheRemainingRows();
    void removedFolderIsReportedWithoutPartialFiles();
    void visitsListsBeyondSixteenBitRows();
    void stopEndsTheRunAfterTheCurrentRow();
    void stopWhileABoxIsOpenLeavesTheNextRunWhole();
    void stopIsShownAtOnceAndTheNextStartContinues();
    void retryAndStartOverKeepOrClearTheRightStates();
    void rowsOfAnAddressSavedAreSkippedAcrossAContinuedRun();
    void runSettingsOfTheSetUpTakeTheRun();
};

void TestCaptureRun::emptyListIsRefusedFirst()
{
    Fixture f;
    f.view.folder.clear();
    f.run.start();
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("No files added.")});
    QVERIFY(f.view.pointerHistory.isEmpty());
    QVERIFY(f.view.valueHistory.isEmpty());
}

void TestCaptureRun::unusableFolderIsRefused_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("empty") << QString();
    QTest::newRow("missing") << QStringLiteral("/nonexistent/textorin/folder");
    QTest::newRow("a file") << QStringLiteral("FILE");
}

void TestCaptureRun::unusableFolderIsRefused()
{
    QFETCH(QString, folder);
    Fixture f;
    if (folder == QStringLiteral("FILE")) {
        folder = f.folder.filePath(QStringLiteral("plain.txt"));
        QVERIFY(writeTestFile(folder));
    }
    f.view.folder = folder;
    f.add(QStringLiteral("http://a/"), QStringLiteral("A"));
    f.run.start();
    QCOMPARE(f.boxes.informations(),
             QStringList{QStringLiteral("Folder does not exist. Please select another folder.")});
    QVERIFY(f.page.navigated.isEmpty());
    QVERIFY(f.view.pointerHistory.isEmpty());
}

void TestCaptureRun::savesEveryRowWithProgressAndFinishes()
{
    Fixture f;
    f.add(QStringLiteral("http://h/a/b"), QStringLiteral("first\r\npage"));
    f.add(QStringLiteral("www.h.example/p?x=1"), QStringLiteral("Grüße ✓"));
    f.add(QStringLiteral("http://h/"), QString());
    int pointerDuringRun = -1;
    f.page.onPoll = [&](const QString &, int) { pointerDuringRun = f.view.pointer; };
    f.run.start();

    QCOMPARE(f.view.valueHistory, (QVector<int>{33, 66, 100, 0}));
    QCOMPARE(pointerDuringRun, MousePointer::Hourglass);
    QCOMPARE(f.view.pointer, MousePointer::Default);
    QCOMPARE(f.view.progress, QStringLiteral("Progress Bar"));
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("3 saved, 0 failed."));
    QVERIFY(f.boxes.warnings().isEmpty());
    QCOMPARE(f.page.navigated, f.list.rows());
    QCOMPARE(f.list.rowState(2), UrlListModel::RowState::Saved);
    QCOMPARE(f.file(QStringLiteral("http://h/a/b")), QStringLiteral("first\r\npage"));
    QCOMPARE(f.file(QStringLiteral("www.h.example/p?x=1")), QStringLiteral("Grüße ✓"));
    QCOMPARE(f.file(QStringLiteral("http://h/")), QString());
    QCOMPARE(f.files().size(), 3);
    QCOMPARE(f.run.lastSummary().saved, 3);
    QCOMPARE(f.pump.pending, 3); // once per row
}

void TestCaptureRun::unusableSettingsAreShownOnceAsTheRunStarts()
{
    Fixture f;
    f.add(QStringLiteral("http://h/1"), QStringLiteral("one"));
    f.add(QStringLiteral("http://h/2"), QStringLiteral("two"));
    int setUps = 0;
    f.run.setEngineSetup([&] {
        ++setUps;
        return QStringList{QStringLiteral("\"Block\" wants none")};
    });
    f.run.start();
    QCOMPARE(setUps, 1);
    QCOMPARE(f.boxes.warnings().size(), 1);
    QVERIFY(f.boxes.warnings().front().contains(QLatin1String("\"Block\" wants none")));
    QCOMPARE(f.run.lastSummary().saved, 2);
}

void TestCaptureRun::followingARunShowsTheRowCountsAndSeconds()
{
    Fixture f;
    qint64 now = 0;
    f.run.setClock([&] { return now; });
    f.pump.onPass = [&] { now += 400; };
    f.add(QStringLiteral("http://slow/"), QStringLiteral("s"), 6);
    f.add(QStringLiteral("http://gone/"), QString(), 0, QStringLiteral("HTTP error 404 Not Found"));
    f.add(QStringLiteral("  "), QString());
    f.add(QStringLiteral("http://fast/"), QStringLiteral("f"), 0);
    f.run.start();
    // Seconds from the row's start, each shown once, none before the first.
    const QStringList expected = {QStringLiteral("Processing: http://slow/ (row 1 of 4; 0 saved, 0 failed)"),
                                  QStringLiteral("Please wait: 1 s"),
                                  QStringLiteral("Please wait: 2 s"),
                                  QStringLiteral("Processing: http://gone/ (row 2 of 4; 1 saved, 0 failed)"),
                                  QStringLiteral("Processing: http://fast/ (row 4 of 4; 1 saved, 1 failed, 1 skipped)"),
                                  QStringLiteral("Progress Bar")};
    QCOMPARE(f.view.captionHistory, expected);
    QCOMPARE(f.view.shownRows, (QVector<int>{1, 2, 4, 0}));
    QCOMPARE(f.view.phases, (QVector<IRunView::RunPhase>{IRunView::RunPhase::Running, IRunView::RunPhase::Idle}));
    QVERIFY(f.pump.lastSlice > 0); // the wait sleeps instead of spinning
}

void TestCaptureRun::captionShowsTheTextAfterTheLastBackslash()
{
    Fixture f;
    f.add(QStringLiteral("a\\b"), QStringLiteral("x"));
    f.run.start();
    QCOMPARE(f.view.captionHistory.first(), QStringLiteral("Processing: b (row 1 of 1; 0 saved, 0 failed)"));
    QCOMPARE(f.page.navigated, QStringList{QStringLiteral("a\\b")});
}

void TestCaptureRun::failedPagesMarkTheirRowsAndTheRunGoesOn()
{
    Fixture f;
    f.add(QStringLiteral("http://one/"), QStringLiteral("one"));
    f.add(QStringLiteral("http://two/"), QString(), 0, QStringLiteral("HTTP error 404 Not Found"));
    f.add(QStringLiteral("  "), QString());
    f.add(QStringLiteral("http://three/"), QStringLiteral("three"));
    f.run.start();
    // No box stops an unattended run: the row shows its outcome and reason.
    QVERIFY(f.boxes.warnings().isEmpty());
    QCOMPARE(f.list.rowState(2), UrlListModel::RowState::Failed);
    QCOMPARE(f.list.rowReason(2), QStringLiteral("HTTP error 404 Not Found"));
    QCOMPARE(f.file(QStringLiteral("http://three/")), QStringLiteral("three"));
    // A blank row is skipped: no hidden, empty file.
    QCOMPARE(f.list.rowState(3), UrlListModel::RowState::Skipped);
    QCOMPARE(f.files(), (QStringList{QStringLiteral("one_.txt"), QStringLiteral("three_.txt")}));
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("2 saved, 1 failed, 1 skipped."));
    // Each failed line starts with its row; the parts taken from the row keep their own direction.
    QCOMPARE(f.boxes.boxes.last().details,
             QStringLiteral("row 2: \u2068http://two/\u2069: \u2068HTTP error 404 Not Found\u2069"));
    // The folder box ends in a separator; the saved file's path has none doubled.
    const QString saved = f.folder.path() + QStringLiteral("/one_.txt");
    QCOMPARE(f.list.rowReason(1), QStringLiteral("Saved as ") + saved);
    QCOMPARE(f.list.rowFile(1), saved);
    QCOMPARE(f.list.rowFile(2), QString());
    QCOMPARE(f.view.pointer, MousePointer::Default);
}

void TestCaptureRun::failedStepsAreReportedAndFailTheirRow()
{
    Fixture f;
    f.add(QStringLiteral("http://a/"), QStringLiteral("a"));
    f.page.failNavigate = true;
    f.run.start();
    QCOMPARE(f.boxes.warnings().size(), 1);
    QVERIFY(f.boxes.warnings().first().contains(QStringLiteral("at line 116\r")));
    QCOMPARE(f.list.rowState(1), UrlListModel::RowState::Failed);
    QCOMPARE(f.view.valueHistory.last(), 0);
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
}

void TestCaptureRun::pageThatNeverCompletesIsTakenAtTheBound()
{
    Fixture f;
    f.run.setWaitLimit(std::chrono::milliseconds(30));
    f.add(QStringLiteral("http://never/"), QStringLiteral("as it stands"), 1 << 30);
    f.run.start();
    QCOMPARE(f.file(QStringLiteral("http://never/")), QStringLiteral("as it stands"));
    QVERIFY(f.pump.waits > 0);
}

void TestCaptureRun::secondPressDuringARunDoesNothing()
{
    Fixture f;
    f.add(QStringLiteral("http://a/"), QStringLiteral("a"), 2);
    f.add(QStringLiteral("http://b/"), QStringLiteral("b"), 2);
    f.pump.onPass = [&] { f.run.start(); };
    f.run.start();
    QCOMPARE(f.page.navigated, (QStringList{QStringLiteral("http://a/"), QStringLiteral("http://b/")}));
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
    QVERIFY(!f.run.isRunning());
}

void TestCaptureRun::rowsAddedDuringARunAreLeftForTheNext()
{
    Fixture f;
    f.add(QStringLiteral("http://a/"), QStringLiteral("a"));
    f.add(QStringLiteral("http://b/"), QStringLiteral("b"));
    bool added = false;
    f.pump.onPass = [&] {
        if (!added) {
            added = true;
            f.add(QStringLiteral("http://late1/"), QStringLiteral("late"));
            f.add(QStringLiteral("http://late2/"), QStringLiteral("late"));
        }
    };
    f.run.start();
    QCOMPARE(f.page.navigated.size(), 2);
    // Row 1 of 2 showed 50 before the rows came; row 2 of now 4 shows 50.
    QCOMPARE(f.view.valueHistory, (QVector<int>{50, 50, 0}));
    QCOMPARE(f.list.rowState(3), UrlListModel::RowState::NotInRun);
    QCOMPARE(f.list.rowReason(4), QStringLiteral("not in this run"));
    // The next start loads only them.
    f.pump.onPass = {};
    f.run.start();
    QCOMPARE(f.page.navigated.mid(2), (QStringList{QStringLiteral("http://late1/"), QStringLiteral("http://late2/")}));
    QCOMPARE(f.list.rowState(1), UrlListModel::RowState::Saved);
    QCOMPARE(f.list.rowState(4), UrlListModel::RowState::Saved);
}

void TestCaptureRun::folderChangedDuringARunTakesTheRemainingRows()
{
    Fixture f;
    QTemporaryDir other;
    f.add(QStringLiteral("http://a/"), QStringLiteral("a"));
    f.add(QStringLiteral("http://b/"), QStringLiteral("b"));
    f.page.onPoll = [&](const QString &url, int) {
        if (url == QStringLiteral("http://b/"))
            f.view.folder = other.path();
    };
    f.run.start();
    QCOMPARE(f.file(QStringLiteral("http://a/")), QStringLiteral("a"));
    QCOMPARE(f.file(QStringLiteral("http://b/"), other.path()), QStringLiteral("b"));
}

void TestCaptureRun::removedFolderIsReportedWithoutPartialFiles()
{
    Fixture f;
    QTemporaryDir base;
    const QString doomed = base.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(doomed));
    f.view.folder = doomed;
    f.add(QStringLiteral("http://a/"), QStringLiteral("a"));
    f.page.onPoll = [&](const QString &, int) { QDir(doomed).removeRecursively(); };
    f.run.start();
    const QStringList warnings = f.boxes.warnings();
    // Each step's report gives the system's reason; none claims a fault of its own.
    QCOMPARE(warnings.size(), 2);
    QVERIFY(warnings.at(0).contains(QStringLiteral("at line 162\r")));
    QVERIFY(warnings.at(1).contains(QStringLiteral("at line 164\r")));
    for (const QString &warning : warnings) {
        QVERIFY2(warning.contains(QStringLiteral("No such file or directory")), qPrintable(warning));
        QVERIFY(!warning.contains(QStringLiteral("Bad file name or number")));
    }
    QVERIFY(f.list.rowReason(1).contains(QStringLiteral("No such file or directory")));
    QVERIFY(QDir(base.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
}

void TestCaptureRun::visitsListsBeyondSixteenBitRows()
{
    Fixture f;
    QStringList rows;
    for (int i = 0; i < 40000; ++i)
        rows.append(QStringLiteral("http://row/%1").arg(i));
    f.list.appendRows(rows);
    f.page.rows.insert(QStringLiteral("http://row/39999"), {QStringLiteral("last"), 0, {}});
    qint64 visited = 0;
    f.run.setRowObserver([&](const RowResult &) { ++visited; });
    f.view.folder = f.folder.path();
    f.run.start();
    QCOMPARE(visited, 40000);
    QCOMPARE(f.page.navigated.size(), 40000);
    QCOMPARE(f.file(QStringLiteral("http://row/39999")), QStringLiteral("last"));
}

void TestCaptureRun::stopEndsTheRunAfterTheCurrentRow()
{
    Fixture f;
    for (const QString &row : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
        f.add(row, row, 3);
    f.page.onPoll = [&](const QString &url, int query) {
        if (url == QLatin1String("b") && query == 2)
            f.run.requestStop();
    };
    f.run.start();
    // The row loading ends at once, without a file, and is not done.
    QCOMPARE(f.files(), QStringList{QStringLiteral("a.txt")});
    QCOMPARE(f.page.aborted, QStringList{QStringLiteral("b")});
    QCOMPARE(f.list.rowState(2), UrlListModel::RowState::Stopped);
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("1 saved, 0 failed. Stopped after 1 of 3 rows."));
    QCOMPARE(f.view.pointer, 0);
    QCOMPARE(f.view.progress, QStringLiteral("Progress Bar"));
    // The next run continues with the rows stopped and not reached.
    f.page.onPoll = {};
    f.run.start();
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("2 saved, 0 failed."));
    QCOMPARE(f.files().size(), 3);
}

void TestCaptureRun::stopWhileABoxIsOpenLeavesTheNextRunWhole()
{
    Fixture f;
    QTemporaryDir base;
    const QString doomed = base.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(doomed));
    f.view.folder = doomed;
    for (const QString &row : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
        f.add(row, row, 2);
    // The folder goes while row a loads; its write fails and a report opens,
    // and the stop comes while that report is open.
    f.page.onPoll = [&](const QString &url, int) {
        if (url == QLatin1String("a"))
            QDir(doomed).removeRecursively();
    };
    f.boxes.onBox = [&](const FakeMessageBoxes::Box &box) {
        if (box.kind == QLatin1String("warning"))
            f.run.requestStop();
    };
    f.run.start();
    QVERIFY(!f.boxes.warnings().isEmpty());
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("0 saved, 1 failed. Stopped after 1 of 3 rows."));
    QVERIFY(!f.run.isRunning());
    // Starting over saves every row.
    f.page.onPoll = {};
    f.boxes.onBox = {};
    QVERIFY(QDir().mkpath(doomed));
    f.run.startOver();
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("3 saved, 0 failed."));
    QCOMPARE(QDir(doomed).entryList(QDir::Files).size(), 3);
}

void TestCaptureRun::stopIsShownAtOnceAndTheNextStartContinues()
{
    Fixture f;
    for (const QString &row : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")})
        f.add(row, row, 3);
    QStringList captionsAfterStop;
    f.page.onPoll = [&](const QString &url, int query) {
        if (url == QLatin1String("b") && query == 1) {
            f.run.requestStop();
            f.run.requestStop(); // Escape after the button: one stop
            captionsAfterStop = QStringList{f.view.progress};
        } else if (!captionsAfterStop.isEmpty()) {
            captionsAfterStop << f.view.progress;
        }
    };
    f.run.start();
    QVERIFY(!captionsAfterStop.isEmpty());
    for (const QString &caption : std::as_const(captionsAfterStop))
        QCOMPARE(caption, QStringLiteral("Stopping…"));
    using Phase = IRunView::RunPhase;
    QCOMPARE(f.view.phases, (QVector<Phase>{Phase::Running, Phase::Stopping, Phase::Idle}));
    QVERIFY(f.boxes.lastSummary().contains(QLatin1String("Stopped after")));
    QCOMPARE(f.list.rowState(1), UrlListModel::RowState::Saved);
    QCOMPARE(f.list.rowState(3), UrlListModel::RowState::None);
    QVERIFY(f.list.rowState(2) != UrlListModel::RowState::Loading);
    f.add(QStringLiteral("e"), QStringLiteral("e"));
    QStringList notDone;
    for (int row = 1; row <= f.list.count(); ++row) {
        if (!UrlListModel::isDone(f.list.rowState(row)))
            notDone << f.list.text(row);
    }
    // Start continues with the rows not done; the others keep their states and files.
    f.page.onPoll = {};
    f.page.navigated.clear();
    f.run.start();
    QCOMPARE(f.page.navigated, notDone);
    QVERIFY(!notDone.contains(QStringLiteral("a")));
    QVERIFY(notDone.contains(QStringLiteral("c")) && notDone.contains(QStringLiteral("e")));
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("%1 saved, 0 failed.").arg(notDone.size()));
    for (int row = 1; row <= f.list.count(); ++row)
        QCOMPARE(f.list.rowState(row), UrlListModel::RowState::Saved);
    QCOMPARE(f.run.runResults().size(), 5);
    // A run that ended leaves the next start whole.
    f.page.navigated.clear();
    f.run.start();
    QCOMPARE(f.page.navigated, f.list.rows());
}

void TestCaptureRun::retryAndStartOverKeepOrClearTheRightStates()
{
    Fixture f;
    f.add(QStringLiteral("http://one/"), QStringLiteral("one"));
    f.add(QStringLiteral("http://bad/"), QString(), 0, QStringLiteral("HTTP error 500"));
    f.add(QStringLiteral("http://three/"), QStringLiteral("three"));
    f.run.start();
    QCOMPARE(f.list.rowState(2), UrlListModel::RowState::Failed);

    f.page.rows[QStringLiteral("http://bad/")].error.clear();
    f.page.navigated.clear();
    f.run.retryFailed();
    QCOMPARE(f.page.navigated, QStringList{QStringLiteral("http://bad/")});
    QCOMPARE(f.list.rowState(1), UrlListModel::RowState::Saved);
    QCOMPARE(f.list.rowState(2), UrlListModel::RowState::Saved);
    QList<RowResult> results = f.run.runResults();
    QCOMPARE(results.size(), 3);
    QCOMPARE(results.at(1).row, 2);
    QCOMPARE(results.at(1).outcome, RowResult::Outcome::Saved);

    // Rows out of range are left out; the rows not chosen keep their states.
    f.page.rows[QStringLiteral("http://three/")].error = QStringLiteral("gone now");
    f.page.navigated.clear();
    f.run.retryRows({3, 0, 9, 3});
    QCOMPARE(f.page.navigated, QStringList{QStringLiteral("http://three/")});
    QCOMPARE(f.list.rowState(3), UrlListModel::RowState::Failed);
    QCOMPARE(f.list.rowState(1), UrlListModel::RowState::Saved);
    QCOMPARE(f.boxes.lastSummary(), QStringLiteral("0 saved, 1 failed."));

    // Results move with the rows when rows are removed.
    f.list.remove(1);
    results = f.run.runResults();
    QCOMPARE(results.size(), 2);
    QCOMPARE(results.at(0).url, QStringLiteral("http://bad/"));
    QCOMPARE(results.at(0).row, 1);
    QCOMPARE(results.at(1).reason, QStringLiteral("gone now"));

    // Start over: every row, states cleared first.
    f.page.navigated.clear();
    f.run.startOver();
    QCOMPARE(f.page.navigated, f.list.rows());
    QCOMPARE(f.run.runResults().size(), 2);
}

void TestCaptureRun::rowsOfAnAddressSavedAreSkippedAcrossAContinuedRun()
{
    Fixture f;
    f.add(QStringLiteral("http://h/a"), QStringLiteral("a"));
    f.add(QStringLiteral("http://h/a"), QStringLiteral("a"));
    f.add(QStringLiteral("http://h/b"), QStringLiteral("b"), 2);
    f.add(QStringLiteral("HTTP://H/a"), QStringLiteral("a"));
    f.page.onPoll = [&](const QString &url, int) {
        if (url == QLatin1String("http://h/b"))
            f.run.requestStop();
    };
    f.run.start();
    QCOMPARE(f.list.rowState(2), UrlListModel::RowState::Skipped);
    QCOMPARE(f.list.rowReason(2), QStringLiteral("same address as row 1"));
    QCOMPARE(f.list.rowState(4), UrlListModel::RowState::None);
    // The continued run skips it against the row the first part saved.
    f.page.onPoll = {};
    f.page.navigated.clear();
    f.run.start();
    QVERIFY(!f.page.navigated.contains(QStringLiteral("HTTP://H/a")));
    QCOMPARE(f.list.rowState(4), UrlListModel::RowState::Skipped);
    QCOMPARE(f.list.rowReason(4), QStringLiteral("same address as row 1"));
    qint64 saved = 0;
    for (int row = 1; row <= f.list.count(); ++row)
        saved += f.list.rowState(row) == UrlListModel::RowState::Saved;
    QCOMPARE(f.files().size(), saved);
}

void TestCaptureRun::runSettingsOfTheSetUpTakeTheRun()
{
    Fixture f;
    f.add(QStringLiteral("http://h/a"), QStringLiteral("a"));
    f.run.start();
    const OutputFormat &markdown = *OutputFormat::named(QStringLiteral("markdown"));
    f.run.setEngineSetup([&] {
        f.run.setRunSettings(markdown, 2, 0);
        return QStringList();
    });
    // A failure that passes on the next load (the fake counts the first run's); its name is the format's.
    f.page.rows.insert(QStringLiteral("http://h/a"), {QStringLiteral("again"), 0, QStringLiteral("reset"), 2});
    f.run.start();
    QCOMPARE(f.page.navigated.count(QStringLiteral("http://h/a")), 3);
    QCOMPARE(f.run.lastSummary().saved, 1);
    QCOMPARE(f.files(), (QStringList{QStringLiteral("h_a.md"), QStringLiteral("h_a.txt")}));
    QCOMPARE(readTestFile(f.folder.filePath(QStringLiteral("h_a.md"))), QByteArray("again"));
}

QTEST_GUILESS_MAIN(TestCaptureRun)
#include "tst_CaptureRun.moc"
