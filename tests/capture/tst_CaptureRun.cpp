#include "capture/MousePointer.h"
#include "capture/CaptureRun.h"
#include "capture/OutputNames.h"
#include "capture/OutputFile.h"
#include "fakes/CountingEventPump.h"
#include "fakes/FakeBrowser.h"
#include "fakes/FakeFormView.h"
#include "fakes/FakeMessageBoxes.h"
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
        browser.pages.insert(url, {text, polls, error});
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
    FakeBrowser browser;
    CountingEventPump pump;
    CaptureRun run{view, list, boxes, browser, pump};
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
    void countsPollsFromOneAndSkipsWaitWhenReady();
    void captionShowsTheTextAfterTheLastBackslash();
    void failedTextWritesNoFileAndTheRunGoesOn();
    void failedStepsResumeInTheSameRow();
    void pageThatNeverCompletesIsTakenAtTheBound();
    void secondPressDuringARunDoesNothing();
    void rowsAddedDuringARunAreLeftForTheNext();
    void folderChangedDuringARunTakesTheRemainingRows();
    void removedFolderIsReportedWithoutPartialFiles();
    void visitsListsBeyondSixteenBitRows();
    void collidingNamesAreNumberedInListOrder();
    void stopEndsTheRunAfterTheCurrentRow();
    void failuresThatMayPassAreTriedAgain();
    void skippedRowsAreNeitherLoadedNorWritten();
    void pagesLoadAtOnceAndRowsEndAsTheyFinish();
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
    QVERIFY(f.browser.navigated.isEmpty());
    QVERIFY(f.view.pointerHistory.isEmpty());
}

void TestCaptureRun::savesEveryRowWithProgressAndFinishes()
{
    Fixture f;
    f.add(QStringLiteral("http://h/a/b"), QStringLiteral("first\r\npage"));
    f.add(QStringLiteral("www.h.example/p?x=1"), QStringLiteral("Grüße ✓"));
    f.add(QStringLiteral("http://h/"), QString());
    int pointerDuringRun = -1;
    f.browser.onPoll = [&](const QString &, int) { pointerDuringRun = f.view.pointer; };
    f.run.start();

    QCOMPARE(f.view.valueHistory, (QVector<int>{33, 66, 100, 0}));
    QCOMPARE(pointerDuringRun, MousePointer::Hourglass);
    QCOMPARE(f.view.pointer, MousePointer::Default);
    QCOMPARE(f.view.progress, QStringLiteral("Progress Bar"));
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
    QVERIFY(f.boxes.warnings().isEmpty());
    QCOMPARE(f.browser.navigated, f.list.rows());
    QCOMPARE(f.file(QStringLiteral("http://h/a/b")), QStringLiteral("first\r\npage"));
    QCOMPARE(f.file(QStringLiteral("www.h.example/p?x=1")), QStringLiteral("Grüße ✓"));
    QCOMPARE(f.file(QStringLiteral("http://h/")), QString());
    QCOMPARE(f.files().size(), 3);
    QCOMPARE(f.run.lastSummary().saved, 3);
    QCOMPARE(f.pump.pending, 3); // once per row
}

void TestCaptureRun::countsPollsFromOneAndSkipsWaitWhenReady()
{
    Fixture f;
    f.add(QStringLiteral("http://slow/"), QStringLiteral("s"), 3);
    f.add(QStringLiteral("http://fast/"), QStringLiteral("f"), 0);
    f.run.start();
    const QStringList expected = {QStringLiteral("Processing: http://slow/"),
                                  QStringLiteral("Please wait: 1"), QStringLiteral("Please wait: 2"),
                                  QStringLiteral("Please wait: 3"),
                                  QStringLiteral("Processing: http://fast/"),
                                  QStringLiteral("Progress Bar")};
    QCOMPARE(f.view.captionHistory, expected);
    QCOMPARE(f.pump.waits, 3);
    QVERIFY(f.pump.lastSlice > 0); // the wait sleeps instead of spinning
}

void TestCaptureRun::captionShowsTheTextAfterTheLastBackslash()
{
    Fixture f;
    f.add(QStringLiteral("a\\b"), QStringLiteral("x"));
    f.run.start();
    QCOMPARE(f.view.captionHistory.first(), QStringLiteral("Processing: b"));
    QCOMPARE(f.browser.navigated, QStringList{QStringLiteral("a\\b")});
}

void TestCaptureRun::failedTextWritesNoFileAndTheRunGoesOn()
{
    Fixture f;
    f.add(QStringLiteral("http://one/"), QStringLiteral("one"));
    f.add(QStringLiteral("http://two/"), QString(), 0, QStringLiteral("HTTP error 404 Not Found"));
    f.add(QStringLiteral("http://three/"), QStringLiteral("three"));
    f.run.start();
    QCOMPARE(f.boxes.warnings().size(), 1);
    QVERIFY(f.boxes.warnings().first().startsWith(QStringLiteral(
        "Could not load http://two/: HTTP error 404 Not Found\r\nin TextorinApp2021/08/31.Form1.PushButton2_Click at line 134\r\r")));
    QCOMPARE(f.file(QStringLiteral("http://two/")), QStringLiteral("<none>"));
    QCOMPARE(f.file(QStringLiteral("http://three/")), QStringLiteral("three"));
    QCOMPARE(f.run.lastSummary().failed, 1);
    QCOMPARE(f.boxes.informations().last(), QStringLiteral("Done."));
    QCOMPARE(f.view.pointer, MousePointer::Default);
}

void TestCaptureRun::failedStepsResumeInTheSameRow()
{
    Fixture f;
    f.add(QStringLiteral("http://a/"), QStringLiteral("a"));
    f.browser.failNavigate = true;
    f.run.start();
    // The navigation is reported and the row still goes on to take the text.
    QCOMPARE(f.boxes.warnings().size(), 1);
    QVERIFY(f.boxes.warnings().first().contains(QStringLiteral("at line 116\r")));
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
    QCOMPARE(f.browser.navigated, (QStringList{QStringLiteral("http://a/"), QStringLiteral("http://b/")}));
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
    QCOMPARE(f.browser.navigated.size(), 2);
    // Row 1 of 2 showed 50 before the rows came; row 2 of now 4 shows 50.
    QCOMPARE(f.view.valueHistory, (QVector<int>{50, 50, 0}));
}

void TestCaptureRun::folderChangedDuringARunTakesTheRemainingRows()
{
    Fixture f;
    QTemporaryDir other;
    f.add(QStringLiteral("http://a/"), QStringLiteral("a"));
    f.add(QStringLiteral("http://b/"), QStringLiteral("b"));
    f.browser.onPoll = [&](const QString &url, int) {
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
    f.browser.onPoll = [&](const QString &, int) { QDir(doomed).removeRecursively(); };
    f.run.start();
    const QStringList warnings = f.boxes.warnings();
    QCOMPARE(warnings.size(), 2);
    QVERIFY(warnings.at(0).contains(QStringLiteral("at line 162\r")));
    QVERIFY(warnings.at(1).contains(QStringLiteral("at line 164\r")));
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
    f.browser.pages.insert(QStringLiteral("http://row/39999"), {QStringLiteral("last"), 0, {}});
    qint64 visited = 0;
    f.run.setRowObserver([&](const CaptureRun::RowResult &) { ++visited; });
    f.view.folder = f.folder.path();
    f.run.start();
    QCOMPARE(visited, 40000);
    QCOMPARE(f.browser.navigated.size(), 40000);
    QCOMPARE(f.file(QStringLiteral("http://row/39999")), QStringLiteral("last"));
}

void TestCaptureRun::collidingNamesAreNumberedInListOrder()
{
    Fixture f;
    f.add(QStringLiteral("http://h/a/b"), QStringLiteral("first"));
    f.add(QStringLiteral("http://h/a_b"), QStringLiteral("second"), 0, QStringLiteral("gone"));
    f.add(QStringLiteral("h/a_b"), QStringLiteral("third"));
    f.add(QStringLiteral("http://h/a/b"), QStringLiteral("first again"));
    f.add(QStringLiteral("q?x=1"), QStringLiteral("query"));
    f.add(QStringLiteral("q x=1"), QStringLiteral("blank"));
    QStringList notes;
    f.run.setRowObserver([&](const CaptureRun::RowResult &row) {
        notes << QFileInfo(row.outputPath).fileName() + QLatin1Char('|') + row.note;
    });
    QVERIFY(writeTestFile(f.folder.filePath(QStringLiteral("h_a_b.txt")), "left by an earlier run"));
    f.run.start();
    // The failed second row keeps its name: the third does not move into it.
    QCOMPARE(f.files(), (QStringList{QStringLiteral("h_a_b (3).txt"), QStringLiteral("h_a_b.txt"),
                                     QStringLiteral("q x=1 (2).txt"), QStringLiteral("q x=1.txt")}));
    QCOMPARE(f.file(QStringLiteral("http://h/a/b")), QStringLiteral("first again"));
    QCOMPARE(readTestFile(f.folder.filePath(QStringLiteral("h_a_b (3).txt"))), QByteArray("third"));
    QCOMPARE(readTestFile(f.folder.filePath(QStringLiteral("q x=1.txt"))), QByteArray("query"));
    QCOMPARE(notes.value(2), QStringLiteral("h_a_b (3).txt|numbered: an earlier row has the plain name"));
    QCOMPARE(notes.value(0), QStringLiteral("h_a_b.txt|"));
}

void TestCaptureRun::stopEndsTheRunAfterTheCurrentRow()
{
    Fixture f;
    for (const QString &row : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
        f.add(row, row, 3);
    f.browser.onPoll = [&](const QString &url, int query) {
        if (url == QLatin1String("a") && query == 2)
            f.run.requestStop();
    };
    f.run.start();
    QCOMPARE(f.files(), QStringList{QStringLiteral("a.txt")});
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Stopped after 1 of 3 rows.")});
    QCOMPARE(f.view.pointer, 0);
    QCOMPARE(f.view.progress, QStringLiteral("Progress Bar"));
    // The next run goes through again.
    f.browser.onPoll = {};
    f.run.start();
    QCOMPARE(f.boxes.informations().last(), QStringLiteral("Done."));
}

void TestCaptureRun::failuresThatMayPassAreTriedAgain()
{
    Fixture f;
    f.list.append(QStringLiteral("flaky"));
    f.browser.pages.insert(QStringLiteral("flaky"), {QStringLiteral("at last"), 0, QStringLiteral("HTTP error 503"), 2});
    f.add(QStringLiteral("gone"), {}, 0, QStringLiteral("HTTP error 404 Not Found"));
    f.add(QStringLiteral("other"), QStringLiteral("other"));
    f.run.setTries(3, 1);
    f.run.setHostWait(150);
    QElapsedTimer clock;
    clock.start();
    f.run.start();
    QCOMPARE(f.file(QStringLiteral("flaky")), QStringLiteral("at last"));
    QCOMPARE(f.browser.navigated.count(QStringLiteral("flaky")), 3);
    // A failure that cannot pass is loaded once and reported once.
    QCOMPARE(f.browser.navigated.count(QStringLiteral("gone")), 1);
    QCOMPARE(f.boxes.warnings().size(), 1);
    // The three loads of one host at least 150 ms apart.
    QVERIFY(clock.elapsed() >= 2 * 150);

    // Out of tries: the last failure is reported.
    Fixture g;
    g.list.append(QStringLiteral("flaky"));
    g.browser.pages.insert(QStringLiteral("flaky"), {QString(), 0, QStringLiteral("HTTP error 503"), 5});
    g.run.setTries(2, 1);
    g.run.start();
    QCOMPARE(g.browser.navigated.size(), 2);
    QCOMPARE(g.boxes.warnings().size(), 1);
}

void TestCaptureRun::skippedRowsAreNeitherLoadedNorWritten()
{
    Fixture f;
    f.add(QStringLiteral("h/a"), QStringLiteral("a"));
    f.add(QStringLiteral("h/b"), QStringLiteral("b"));
    OutputNames names;
    names.take(QStringLiteral("http://h/a"), QStringLiteral("h_a.txt")); // an earlier run's
    f.run.setOutputNames(&names);
    QStringList skipped;
    f.run.setSkipTest([&](const QString &url, const QString &path) {
        skipped << QFileInfo(path).fileName();
        return url == QLatin1String("h/b");
    });
    f.run.start();
    QCOMPARE(skipped, (QStringList{QStringLiteral("h_a (2).txt"), QStringLiteral("h_b.txt")}));
    QCOMPARE(f.browser.navigated, QStringList{QStringLiteral("h/a")});
    QCOMPARE(f.files(), QStringList{QStringLiteral("h_a (2).txt")});
    QCOMPARE(f.run.lastSummary().skipped, 1);
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Done.")});
}

void TestCaptureRun::pagesLoadAtOnceAndRowsEndAsTheyFinish()
{
    Fixture f;
    FakeBrowser second;
    f.add(QStringLiteral("slow"), QStringLiteral("s"), 5);
    f.add(QStringLiteral("fast"), QStringLiteral("f"));
    f.add(QStringLiteral("next"), QStringLiteral("n"));
    f.add(QStringLiteral("slow"), QStringLiteral("s"), 5);
    second.pages = f.browser.pages;
    f.run.setBrowsers({&f.browser, &second});
    QList<qint64> ended;
    f.run.setRowObserver([&](const CaptureRun::RowResult &row) { ended << row.row; });
    f.run.start();
    // The second "slow" shares the first's file, so it waits for it rather than load beside it.
    QCOMPARE(ended, (QList<qint64>{2, 3, 1, 4}));
    QCOMPARE(second.navigated, (QStringList{QStringLiteral("fast"), QStringLiteral("next")}));
    QCOMPARE(f.browser.navigated.count(QStringLiteral("slow")) + second.navigated.count(QStringLiteral("slow")), 2);
    QCOMPARE(f.files().size(), 3);
    QCOMPARE(f.run.lastSummary().saved, 4);
}

QTEST_GUILESS_MAIN(TestCaptureRun)
#include "tst_CaptureRun.moc"
