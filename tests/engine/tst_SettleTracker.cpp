#include "engine/SettleTracker.h"

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
    tracker.start(1000);
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1000));
    QVERIFY(tracker.settled(sample(5000, 5000, 0), 1000 + SettleTracker::CalmMs));
    // Something just ran: calm again first.
    QVERIFY(!tracker.settled(sample(5000, 10, 0), 1100));
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
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1190));
    QVERIFY(tracker.settled(sample(5000, 5000, 0), 1150 + SettleTracker::CalmMs));

    // A request that never ends stops counting once it is older than the spell.
    tracker.requestStarted(QStringLiteral("poll"), QStringLiteral("XHR"), QStringLiteral("http://h/p"), 1300);
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1500));
    QVERIFY(!tracker.settled(sample(5000, 5000, 0), 1620));
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
