#include "capture/FolderOutput.h"
#include "capture/IRowSource.h"
#include "capture/IRunObserver.h"
#include "capture/OutputFile.h"
#include "capture/RowQueue.h"
#include "fakes/CountingEventPump.h"
#include "fakes/FakePage.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A list of rows and a front end that records how each ended.
struct Harness : IRowSource, IRunObserver {
    Next next() override
    {
        Next row;
        if (read < rows.size()) {
            row.answer = available >= 0 && read >= available ? Answer::NotYet : Answer::Row;
            if (row.answer == Answer::Row)
                row.text = rows.at(read++);
        }
        return row;
    }
    QString skipReason(const QueuedRow &row, const QString &path) override
    {
        return skip ? skip(row, path) : QString();
    }
    bool readyToStart(const QueuedRow &row) override { return !ready || ready(row); }
    QString unchangedUnloaded(const QueuedRow &row, const QString &) override
    {
        return row.url.endsWith(QLatin1String("listed-same")) ? QStringLiteral("lastmod") : QString();
    }
    PageValidators validatorsOf(const QueuedRow &row, const QString &) override { return validators.value(row.url); }
    RowChange changeOf(const QueuedRow &row, const PageOutcome &, const QString &) override
    {
        return changes.value(row.url);
    }
    void rowFinished(const RowResult &result) override { results.append(result); }
    void rowEnded(const RowResult &result) override { sourceHeard << result.row; }

    void add(const QString &url, const QString &text, int polls = 0, const QString &error = {}, int failingLoads = 0)
    {
        rows.append(url);
        for (FakePage *page : {&first, &second}) {
            if (!page->rows.contains(url))
                page->rows.insert(url, {text, polls, error, failingLoads});
        }
    }
    QList<qint64> endedRows() const
    {
        QList<qint64> ended;
        for (const RowResult &result : results)
            ended << result.row;
        return ended;
    }
    QStringList files() const { return QDir(directory.path()).entryList(QDir::Files); }

    QStringList rows;
    qsizetype read = 0;
    qsizetype available = -1; // the rows given before the source answers NotYet; -1: all
    QTemporaryDir directory;
    FolderOutput output{directory.path()};
    std::function<QString(const QueuedRow &, const QString &)> skip;
    std::function<bool(const QueuedRow &)> ready;
    QHash<QString, PageValidators> validators;
    QHash<QString, RowChange> changes;
    QList<RowResult> results;
    QList<qint64> sourceHeard;
    FakePage first;
    FakePage second;
    CountingEventPump pump;
};

} // namespace

class TestRowQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesAreReservedInListOrderWhateverFinishesFirst();
    void pagesNeverIdleWhileAnotherHostsRowCanStart();
    void failuresThatMayPassAreTriedAgainWithoutHoldingThePage();
    void rowsLostToARestartAreLoadedOnceMore();
    void skippedRowsAreNeitherLoadedNorWritten();
    void rowsOfAnAddressSavedAreSkippedAfterWaitingForIt();
    void rowsTheFrontEndHoldsLetOthersStartFirst();
    void stopLetsTheLoadingRowsEndAndStartsNoOther();
    void stopNowAbortsTheLoadingRowsAndStartsNoOther();
    void sourceWithNothingYetIsAskedAgainAsEventsComeIn();
    void onlyRowsWhoseFileMustChangeAreWritten();
};

void TestRowQueue::namesAreReservedInListOrderWhateverFinishesFirst()
{
    Harness h;
    h.add(QStringLiteral("http://h/a/b"), QStringLiteral("slow"), 6);
    h.add(QStringLiteral("http://h/a_b"), {}, 0, QStringLiteral("gone"));
    h.add(QStringLiteral("h/a_b"), QStringLiteral("third"));
    h.add(QStringLiteral("http://h/a/b"), QStringLiteral("slow"));
    RowQueue queue({&h.first, &h.second}, h.pump, h, h.output, h);
    queue.run();
    // Rows end as they finish; the row of the slow one's name waits for it.
    QCOMPARE(h.endedRows(), (QList<qint64>{2, 3, 1, 4}));
    QCOMPARE(h.files(), (QStringList{QStringLiteral("h_a_b (3).txt"), QStringLiteral("h_a_b.txt")}));
    QCOMPARE(readTestFile(h.directory.filePath(QStringLiteral("h_a_b.txt"))), QByteArray("slow"));
    // Row 4 has row 1's address: it waits for it and is skipped, not loaded again.
    QCOMPARE(h.first.navigated.count(QStringLiteral("http://h/a/b"))
                 + h.second.navigated.count(QStringLiteral("http://h/a/b")),
             1);
    QCOMPARE(h.results.at(3).reason, QStringLiteral("same address as row 1"));
    QCOMPARE(h.results.at(1).note, QStringLiteral("numbered: an earlier row has the plain name"));
    QCOMPARE(h.results.at(0).reason, QStringLiteral("gone"));
}

void TestRowQueue::pagesNeverIdleWhileAnotherHostsRowCanStart()
{
    Harness h;
    h.add(QStringLiteral("http://a/1"), QStringLiteral("a1"));
    h.add(QStringLiteral("http://a/2"), QStringLiteral("a2"));
    h.add(QStringLiteral("http://b/1"), QStringLiteral("b1"), 3);
    h.add(QStringLiteral("http://a/3"), QStringLiteral("a3"));
    QElapsedTimer clock;
    QHash<QString, qint64> loadedAt;
    for (FakePage *page : {&h.first, &h.second})
        page->onPoll = [&](const QString &url, int query) {
            if (query == 1)
                loadedAt.insert(url, clock.elapsed());
        };
    RowQueue queue({&h.first, &h.second}, h.pump, h, h.output, h);
    queue.setHostWait(150);
    clock.start();
    queue.run();
    // While a/2 waits for its host, the free page takes b/1 from behind it.
    QCOMPARE(h.first.navigated.value(0), QStringLiteral("http://a/1"));
    QCOMPARE(h.second.navigated.value(0), QStringLiteral("http://b/1"));
    QVERIFY(loadedAt.value(QStringLiteral("http://a/2")) - loadedAt.value(QStringLiteral("http://a/1")) >= 140);
    QVERIFY(loadedAt.value(QStringLiteral("http://a/3")) - loadedAt.value(QStringLiteral("http://a/2")) >= 140);
    QCOMPARE(queue.summary().saved, 4);

    // However far behind the rows of a waiting host it is listed.
    Harness far;
    for (int i = 1; i <= 20; ++i)
        far.add(QStringLiteral("http://a/%1").arg(i), QStringLiteral("a"));
    far.add(QStringLiteral("http://b/1"), QStringLiteral("b1"));
    RowQueue farQueue({&far.first, &far.second}, far.pump, far, far.output, far);
    farQueue.setHostWait(30);
    farQueue.run();
    // The first page, free again while a/2 waits, takes b/1 from the end of the list.
    QCOMPARE(far.first.navigated.mid(0, 2), (QStringList{QStringLiteral("http://a/1"), QStringLiteral("http://b/1")}));
    QCOMPARE(farQueue.summary().saved, 21);

    // The wait runs from when a load's document request left, not from its start.
    Harness late;
    late.add(QStringLiteral("http://a/1"), QStringLiteral("a1"), 1 << 30);
    late.add(QStringLiteral("http://a/2"), QStringLiteral("a2"));
    late.first.requestLagMs = 200;
    QElapsedTimer lateClock;
    qint64 secondAt = -1;
    late.second.onPoll = [&](const QString &, int query) {
        if (query == 1)
            secondAt = lateClock.elapsed();
    };
    RowQueue lateQueue({&late.first, &late.second}, late.pump, late, late.output, late);
    lateQueue.setHostWait(100);
    lateQueue.setWaitLimit(std::chrono::milliseconds(600));
    lateClock.start();
    lateQueue.run();
    QVERIFY2(secondAt >= 290, qPrintable(QString::number(secondAt)));
}

void TestRowQueue::failuresThatMayPassAreTriedAgainWithoutHoldingThePage()
{
    Harness h;
    h.add(QStringLiteral("flaky"), QStringLiteral("at last"), 0, QStringLiteral("HTTP error 503"), 2);
    h.add(QStringLiteral("gone"), {}, 0, QStringLiteral("HTTP error 404 Not Found"));
    h.add(QStringLiteral("other"), QStringLiteral("other"));
    RowQueue queue({&h.first}, h.pump, h, h.output, h);
    queue.setTries(3, 30);
    queue.run();
    QCOMPARE(h.first.navigated.count(QStringLiteral("flaky")), 3);
    QCOMPARE(h.first.navigated.count(QStringLiteral("gone")), 1);
    // The page went on with the next rows during the pause.
    QCOMPARE(h.first.navigated.mid(0, 3),
             (QStringList{QStringLiteral("flaky"), QStringLiteral("gone"), QStringLiteral("other")}));
    QCOMPARE(h.results.last().row, 1);
    QCOMPARE(h.results.last().tries, 3);
    QVERIFY(h.results.last().saved());

    // Out of tries: the last failure is the row's.
    Harness g;
    g.add(QStringLiteral("flaky"), {}, 0, QStringLiteral("HTTP error 503"), 5);
    RowQueue again({&g.first}, g.pump, g, g.output, g);
    again.setTries(2, 1);
    again.run();
    QCOMPARE(g.first.navigated.size(), 2);
    QCOMPARE(g.results.size(), 1);
    QCOMPARE(g.results.first().reason, QStringLiteral("HTTP error 503"));
}

void TestRowQueue::rowsLostToARestartAreLoadedOnceMore()
{
    Harness h;
    h.add(QStringLiteral("lost once"), QStringLiteral("saved"), 0, QStringLiteral("engine restarted"), 1);
    h.add(QStringLiteral("lost always"), {}, 0, QStringLiteral("engine restarted"));
    for (FakePage *page : {&h.first, &h.second}) {
        for (const QString &url : h.rows)
            page->rows[url].lostToRestart = true;
    }
    RowQueue queue({&h.first}, h.pump, h, h.output, h);
    queue.setTries(1, 10'000); // a pause, were one taken, would outlast the test
    QElapsedTimer clock;
    clock.start();
    queue.run();
    QVERIFY(clock.elapsed() < 5000);
    // Once more whatever the tries say, and only once.
    QCOMPARE(h.first.navigated,
             (QStringList{QStringLiteral("lost once"), QStringLiteral("lost once"), QStringLiteral("lost always"),
                          QStringLiteral("lost always")}));
    QCOMPARE(h.results.size(), 2);
    QVERIFY(h.results.at(0).saved());
    QCOMPARE(h.results.at(1).reason, QStringLiteral("engine restarted"));
}

void TestRowQueue::skippedRowsAreNeitherLoadedNorWritten()
{
    Harness h;
    h.add(QStringLiteral("h/a"), QStringLiteral("a"));
    h.add(QStringLiteral("h/b"), QStringLiteral("b"));
    RowQueue queue({&h.first}, h.pump, h, h.output, h);
    queue.names().take(QStringLiteral("http://h/a"), QStringLiteral("h_a.txt")); // an earlier run's
    QStringList asked;
    h.skip = [&](const QueuedRow &row, const QString &path) {
        asked << QFileInfo(path).fileName();
        return row.url == QLatin1String("h/b") ? QStringLiteral("exists") : QString();
    };
    queue.run();
    QCOMPARE(asked, (QStringList{QStringLiteral("h_a (2).txt"), QStringLiteral("h_b.txt")}));
    QCOMPARE(h.first.navigated, QStringList{QStringLiteral("h/a")});
    QCOMPARE(h.files(), QStringList{QStringLiteral("h_a (2).txt")});
    QCOMPARE(h.results.last().outcome, RowResult::Outcome::Skipped);
    QCOMPARE(h.results.last().reason, QStringLiteral("exists"));
}

void TestRowQueue::rowsOfAnAddressSavedAreSkippedAfterWaitingForIt()
{
    Harness h;
    h.add(QStringLiteral("http://h/a"), QStringLiteral("a"), 4);
    h.add(QStringLiteral("HTTP://H/a"), QStringLiteral("a"));
    h.add(QStringLiteral("http://h/b"), {}, 0, QStringLiteral("gone"));
    h.add(QStringLiteral("h/b"), QStringLiteral("b"));
    h.add(QStringLiteral("http://h/a"), QStringLiteral("a"));
    RowQueue queue({&h.first, &h.second}, h.pump, h, h.output, h);
    const RowQueue::Summary summary = queue.run();
    QStringList navigated = h.first.navigated + h.second.navigated;
    navigated.sort();
    // A row whose first failed loads; one whose first saved never does.
    QCOMPARE(navigated,
             (QStringList{QStringLiteral("h/b"), QStringLiteral("http://h/a"), QStringLiteral("http://h/b")}));
    const QList<qint64> ended = h.endedRows();
    QVERIFY(ended.indexOf(2) > ended.indexOf(1));
    QVERIFY(ended.indexOf(4) > ended.indexOf(3));
    for (const RowResult &result : std::as_const(h.results)) {
        if (result.row == 2 || result.row == 5) {
            QCOMPARE(result.outcome, RowResult::Outcome::Skipped);
            QCOMPARE(result.reason, QStringLiteral("same address as row 1"));
        }
    }
    QCOMPARE(summary.saved, 2);
    QCOMPARE(summary.failed, 1);
    QCOMPARE(summary.skipped, 2);
    QCOMPARE(h.files().size(), 2);
}

void TestRowQueue::rowsTheFrontEndHoldsLetOthersStartFirst()
{
    Harness h;
    h.add(QStringLiteral("http://a/1"), QStringLiteral("a1"));
    h.add(QStringLiteral("http://b/1"), QStringLiteral("b1"), 2);
    h.add(QStringLiteral("http://b/2"), QStringLiteral("b2"));
    bool released = false;
    QList<int> heldSlices;
    h.ready = [&](const QueuedRow &row) { return released || row.number != 1; };
    h.pump.onPass = [&] {
        // With only the held row left, the run sleeps in slices rather than spinning.
        if (h.results.size() == 2 && !released) {
            heldSlices << h.pump.lastSlice;
            released = heldSlices.size() == 3;
        }
    };
    RowQueue queue({&h.first}, h.pump, h, h.output, h);
    queue.run();
    QCOMPARE(h.first.navigated,
             (QStringList{QStringLiteral("http://b/1"), QStringLiteral("http://b/2"), QStringLiteral("http://a/1")}));
    QCOMPARE(h.endedRows(), (QList<qint64>{2, 3, 1}));
    QCOMPARE(heldSlices, (QList<int>{100, 100, 100}));
    QCOMPARE(h.files().size(), 3);
}

void TestRowQueue::stopLetsTheLoadingRowsEndAndStartsNoOther()
{
    Harness h;
    for (int i = 1; i <= 6; ++i)
        h.add(QStringLiteral("http://h%1/").arg(i), QStringLiteral("t"), i == 1 ? 4 : 2);
    RowQueue queue({&h.first, &h.second}, h.pump, h, h.output, h);
    h.first.onPoll = [&](const QString &, int query) {
        if (query == 2)
            queue.requestStop();
    };
    queue.run();
    // Both loading rows ended with their text; none started after the stop.
    QCOMPARE(h.first.navigated.size() + h.second.navigated.size(), 2);
    QCOMPARE(queue.summary().saved, 2);
    QCOMPARE(h.files().size(), 2);
}

void TestRowQueue::stopNowAbortsTheLoadingRowsAndStartsNoOther()
{
    constexpr int Hangs = 1'000'000;
    Harness h;
    h.add(QStringLiteral("http://h1/"), QStringLiteral("t"), Hangs);
    h.add(QStringLiteral("http://h2/"), QStringLiteral("t"), Hangs);
    h.add(QStringLiteral("http://h3/"), QStringLiteral("t"));
    RowQueue queue({&h.first, &h.second}, h.pump, h, h.output, h);
    h.pump.onPass = [&] {
        if (h.pump.waits == 3)
            queue.stopNow();
    };
    QElapsedTimer clock;
    clock.start();
    const RowQueue::Summary summary = queue.run();
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(h.first.aborted, QStringList{QStringLiteral("http://h1/")});
    QCOMPARE(h.second.aborted, QStringList{QStringLiteral("http://h2/")});
    QCOMPARE(h.first.navigated.size() + h.second.navigated.size(), 2);
    QCOMPARE(h.endedRows(), (QList<qint64>{1, 2}));
    QCOMPARE(h.sourceHeard, (QList<qint64>{1, 2}));
    for (const RowResult &result : std::as_const(h.results)) {
        QCOMPARE(result.outcome, RowResult::Outcome::Stopped);
        QCOMPARE(result.reason, QStringLiteral("stopped"));
        QVERIFY(!result.saved() && result.outputPath.isEmpty());
    }
    QCOMPARE(summary.finished(), 0);
    QVERIFY(h.files().isEmpty());

    // A row in its retry pause never starts again; it ends with its last failure.
    Harness r;
    r.add(QStringLiteral("flaky"), {}, 0, QStringLiteral("HTTP error 503"), 5);
    r.add(QStringLiteral("slow"), QStringLiteral("t"), Hangs);
    RowQueue retrying({&r.first}, r.pump, r, r.output, r);
    retrying.setTries(3, 60'000);
    r.first.onPoll = [&](const QString &url, int) {
        if (url == QLatin1String("slow"))
            retrying.stopNow();
    };
    retrying.run();
    QCOMPARE(r.first.navigated, (QStringList{QStringLiteral("flaky"), QStringLiteral("slow")}));
    QCOMPARE(r.endedRows(), (QList<qint64>{2, 1}));
    QCOMPARE(r.results.at(0).outcome, RowResult::Outcome::Stopped);
    QCOMPARE(r.results.at(1).reason, QStringLiteral("HTTP error 503"));
    QCOMPARE(retrying.summary().failed, 1);
}

void TestRowQueue::sourceWithNothingYetIsAskedAgainAsEventsComeIn()
{
    // The rest of the rows come once the first has ended, as links found in a page would.
    Harness h;
    h.add(QStringLiteral("http://a/1"), QStringLiteral("a1"), 3);
    h.add(QStringLiteral("http://a/2"), QStringLiteral("a2"), 1);
    h.add(QStringLiteral("http://b/1"), QStringLiteral("b1"));
    h.add(QStringLiteral("http://b/2"), QStringLiteral("b2"), 2);
    h.available = 2;
    h.pump.onPass = [&] {
        if (!h.results.isEmpty())
            h.available = -1;
    };
    RowQueue queue({&h.first, &h.second}, h.pump, h, h.output, h);
    queue.run();
    QList<qint64> ended = h.endedRows();
    std::sort(ended.begin(), ended.end());
    QCOMPARE(ended, (QList<qint64>{1, 2, 3, 4}));
    QCOMPARE(h.first.navigated.size() + h.second.navigated.size(), 4);
    QCOMPARE(h.files().size(), 4);

    // With nothing loading, the run sleeps in slices until rows come, rather than spinning.
    Harness idle;
    idle.add(QStringLiteral("http://a/1"), QStringLiteral("a1"));
    idle.available = 0;
    QList<int> slices;
    idle.pump.onPass = [&] {
        slices << idle.pump.lastSlice;
        if (slices.size() == 3)
            idle.available = -1;
    };
    RowQueue idleQueue({&idle.first}, idle.pump, idle, idle.output, idle);
    idleQueue.run();
    QCOMPARE(slices, (QList<int>{100, 100, 100}));
    QCOMPARE(idleQueue.summary().saved, 1);

    // A source that never gives a row holds the run only until it is stopped.
    Harness never;
    never.add(QStringLiteral("http://a/1"), QStringLiteral("a1"));
    never.available = 0;
    RowQueue neverQueue({&never.first}, never.pump, never, never.output, never);
    never.pump.onPass = [&] {
        if (never.pump.waits == 5)
            neverQueue.requestStop();
    };
    neverQueue.run();
    QCOMPARE(never.pump.waits, 5);
    QVERIFY(never.results.isEmpty() && never.first.navigated.isEmpty());
}

// Rows a state knows: validators go with their loads, a 304 or a same text keeps
// the file, and a row known unchanged is not loaded at all.
void TestRowQueue::onlyRowsWhoseFileMustChangeAreWritten()
{
    Harness h;
    using Kind = RowChange::Kind;
    const PageValidators validators{QStringLiteral("\"v1\""), {}};
    h.add(QStringLiteral("h/new"), QStringLiteral("new"));
    h.changes.insert(QStringLiteral("h/new"), {Kind::New, false, {}});
    h.add(QStringLiteral("h/304"), QStringLiteral("never"));
    h.first.rows[QStringLiteral("h/304")].notModified = true;
    h.validators.insert(QStringLiteral("h/304"), validators);
    h.changes.insert(QStringLiteral("h/304"), {Kind::Same, true, {}});
    h.add(QStringLiteral("h/same"), QStringLiteral("same"));
    h.changes.insert(QStringLiteral("h/same"), {Kind::Same, true, {}});
    h.add(QStringLiteral("h/listed-same"), QStringLiteral("never"));
    h.changes.insert(QStringLiteral("h/listed-same"), {Kind::Same, true, {}});
    // A 304 the source cannot stand for with a file fails rather than passing as saved.
    h.add(QStringLiteral("h/304-lost"), QStringLiteral("never"));
    h.first.rows[QStringLiteral("h/304-lost")].notModified = true;
    h.validators.insert(QStringLiteral("h/304-lost"), validators);
    RowQueue queue({&h.first}, h.pump, h, h.output, h);
    queue.run();

    QCOMPARE(h.first.navigated,
             (QStringList{QStringLiteral("h/new"), QStringLiteral("h/304"), QStringLiteral("h/same"),
                          QStringLiteral("h/304-lost")}));
    QCOMPARE(h.first.validatorsSent.keys().size(), 2);
    QCOMPARE(h.first.validatorsSent.value(QStringLiteral("h/304")).etag, validators.etag);
    QCOMPARE(h.files(), QStringList{QStringLiteral("h_new.txt")});
    QCOMPARE(h.results.size(), 5);
    QCOMPARE(h.results[0].writtenSha256, QCryptographicHash::hash("new", QCryptographicHash::Sha256).toHex());
    for (int i : {1, 2, 3}) {
        QCOMPARE(h.results[i].outcome, RowResult::Outcome::Saved);
        QCOMPARE(h.results[i].change.kind, Kind::Same);
        QVERIFY(h.results[i].writtenSha256.isEmpty());
        QVERIFY(h.results[i].outputPath.endsWith(QStringLiteral(".txt")));
    }
    QCOMPARE(h.results[1].note, QStringLiteral("not modified (304)"));
    QCOMPARE(h.results[3].note, QStringLiteral("lastmod"));
    QCOMPARE(h.results[4].outcome, RowResult::Outcome::Failed);
    QCOMPARE(h.results[4].change.kind, Kind::Untracked);
}

QTEST_GUILESS_MAIN(TestRowQueue)
#include "tst_RowQueue.moc"
