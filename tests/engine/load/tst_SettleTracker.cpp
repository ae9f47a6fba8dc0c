#include "engine/load/SettleTracker.h"

#include <QtTest>

class TestSettleTracker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void quietPageWithNothingPendingIsTakenSoon();
    void pendingWorkWaitsForTheQuietSpell();
    void requestsInFlightHoldTheSettleUntilTheyAreOld();
    void streamsAndBeaconsNeverCount();
    void settleEndsWhenItsTimeIsUp();
};

namespace {

SettleTracker::PageSample sample(qint64 sinceMutation, qint64 sinceActivity, int pending)
{
    return SettleTracker::PageSample{sinceMutation, sinceActivity, pending};
}

} // namespace

void TestSettleTracker::quietPageWithNothingPendingIsTakenSoon()
{
    SettleTracker tracker(300, 3000);
    tracker.requestStarted(QStringLiteral("css"), QStringLiteral("Stylesheet"), QStringLiteral("http://h/c"), 990);
    tracker.requestEnded(QStringLiteral("css"), 995);
    tracker.start(1000);
    // Calm since before its load event (a static page): taken at once once calm long enough.
    QCOMPARE(tracker.msUntilCalm(sample(5000, 5000, 0), 1000), SettleTracker::CalmMs - 5);
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1000));
    QVERIFY(tracker.settled(sample(5000, 5000, 0), 995 + SettleTracker::CalmMs));
    // Something just ran: calm again first.
    QVERIFY(!tracker.settled(sample(5000, 10, 0), 1100));
    QCOMPARE(tracker.msUntilCalm(sample(5000, 10, 1), 1100), -1);
}

void TestSettleTracker::pendingWorkWaitsForTheQuietSpell()
{
    SettleTracker tracker(300, 3000);
    tracker.start(0);
    QVERIFY(!tracker.settled(sample(100, 100, 1), 200));
    QVERIFY(!tracker.settled(sample(299, 0, 2), 500));
    QVERIFY(tracker.settled(sample(300, 0, 2), 500));
}

void TestSettleTracker::requestsInFlightHoldTheSettleUntilTheyAreOld()
{
    SettleTracker tracker(300, 3000);
    tracker.requestStarted(QStringLiteral("a"), QStringLiteral("Fetch"), QStringLiteral("http://h/a"), 900);
    tracker.start(1000);
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1100));
    tracker.requestEnded(QStringLiteral("a"), 1150);
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1150 + SettleTracker::CalmMs - 1));
    QVERIFY(tracker.settled(sample(5000, 5000, 0), 1150 + SettleTracker::CalmMs));

    // A request that never ends stops counting once it is older than the spell.
    tracker.requestStarted(QStringLiteral("poll"), QStringLiteral("XHR"), QStringLiteral("http://h/p"), 1300);
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1500));
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1600 + SettleTracker::CalmMs - 1));
    QVERIFY(tracker.settled(sample(5000, 5000, 0), 1600 + SettleTracker::CalmMs));
}

void TestSettleTracker::streamsAndBeaconsNeverCount()
{
    SettleTracker tracker(300, 3000);
    tracker.start(0);
    tracker.requestStarted(QStringLiteral("s"), QStringLiteral("EventSource"), QStringLiteral("http://h/s"), 10);
    tracker.requestStarted(QStringLiteral("b"), QStringLiteral("Ping"), QStringLiteral("http://h/b"), 10);
    tracker.requestStarted(QStringLiteral("f"), QStringLiteral("Other"), QStringLiteral("http://h/favicon.ico"), 10);
    QVERIFY(tracker.settled(sample(5000, 5000, 0), 60));
}

void TestSettleTracker::settleEndsWhenItsTimeIsUp()
{
    SettleTracker tracker(300, 3000);
    tracker.start(0);
    QVERIFY(!tracker.settled(sample(0, 0, 5), 2999));
    QVERIFY(tracker.settled(sample(0, 0, 5), 3000));
}

QTEST_GUILESS_MAIN(TestSettleTracker)
#include "tst_SettleTracker.moc"
