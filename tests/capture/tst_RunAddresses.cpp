#include "capture/RunAddresses.h"

#include <QtTest>

class TestRunAddresses : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addressesAreOneAsThePageLoadsThem_data();
    void addressesAreOneAsThePageLoadsThem();
    void aDuplicateWaitsForItsFirstRowAndIsSkippedOnceItSaved();
};

void TestRunAddresses::addressesAreOneAsThePageLoadsThem_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("same");
    const auto row = [](const char *name, const char *first, const char *second, bool same) {
        QTest::newRow(name) << QString::fromUtf8(first) << QString::fromUtf8(second) << same;
    };
    row("case of scheme and host", "HTTP://Host.Example/a", "http://host.example/a", true);
    row("blanks around", "  http://h/a\t", "http://h/a", true);
    row("no scheme", "h.example/a", "http://h.example/a", true);
    row("empty path", "https://h", "https://h/", true);
    row("default port", "http://h:80/a", "http://h/a", true);
    row("https default port", "https://h:443/", "https://h/", true);
    row("other port", "http://h:8080/", "http://h/", false);
    row("other scheme", "http://h/a", "https://h/a", false);
    row("case of path", "http://h/A", "http://h/a", false);
    row("other query", "http://h/a?x=1", "http://h/a?x=2", false);
    row("query order", "http://h/a?x=1&y=2", "http://h/a?y=2&x=1", false);
    row("query or none", "http://h/a?", "http://h/a", false);
    row("other fragment", "http://h/a#one", "http://h/a#two", false);
    row("file", "file:///tmp/a.html", "FILE:///tmp/a.html", true);
}

void TestRunAddresses::addressesAreOneAsThePageLoadsThem()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, same);
    QCOMPARE(RunAddresses::keyOf(first) == RunAddresses::keyOf(second), same);
}

void TestRunAddresses::aDuplicateWaitsForItsFirstRowAndIsSkippedOnceItSaved()
{
    RunAddresses addresses;
    const QString a = QStringLiteral("http://h/a");
    const QString other = QStringLiteral("http://h/b");
    addresses.add(1, a);
    addresses.add(2, other);
    addresses.add(3, QStringLiteral("HTTP://H/a"));
    addresses.add(5, a);
    QVERIFY(!addresses.waits(1));
    QVERIFY(!addresses.waits(2));
    QVERIFY(addresses.waits(3));
    QVERIFY(addresses.waits(5));
    QVERIFY(addresses.skipReason(3).isEmpty());
    // The first failed: the next row of the address loads, the later ones wait for it.
    addresses.ended(1, false);
    QVERIFY(!addresses.waits(3));
    QVERIFY(addresses.waits(5));
    QVERIFY(addresses.skipReason(5).isEmpty());
    addresses.ended(3, true);
    QVERIFY(!addresses.waits(5));
    QCOMPARE(addresses.skipReason(5), QStringLiteral("same address as row 3"));
    addresses.ended(2, true);
    QVERIFY(addresses.skipReason(2).isEmpty());
    addresses.setShownRow([](qint64 number) { return number * 10; });
    QCOMPARE(addresses.skipReason(5), QStringLiteral("same address as row 30"));
    addresses.clear();
    QVERIFY(addresses.skipReason(5).isEmpty());
}

QTEST_GUILESS_MAIN(TestRunAddresses)
#include "tst_RunAddresses.moc"
