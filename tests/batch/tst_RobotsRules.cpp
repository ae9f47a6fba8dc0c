#include "batch/RobotsRules.h"

#include <QtTest>

class TestRobotsRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ownGroupWinsOverTheStarGroup();
    void longestMatchWinsAndAllowWinsTies();
    void wildcardsAndEndAnchorsMatchAsWritten();
    void pathsMatchAsTheEngineRequestsThem_data();
    void pathsMatchAsTheEngineRequestsThem();
};

void TestRobotsRules::ownGroupWinsOverTheStarGroup()
{
    const QByteArray body = "\xef\xbb\xbfUser-agent: *\r\nDisallow: /\r\nCrawl-delay: 5\r\n\r\n"
                            "User-agent: other\nUser-Agent: TEXTORIN/2.1 # ours\nDisallow: /own\n"
                            "Crawl-delay: 900\nSitemap: http://h/s.xml\n"
                            "User-agent: nobody\nAllow: /own\n"
                            "user-agent: textorin\ndisallow: /more\n";
    const RobotsRules own = RobotsRules::parse(body, "textorin");
    QVERIFY(own.allows("/"));
    QVERIFY(!own.allows("/own/page"));
    // The crawler's groups are merged, and nobody's rules are not its own.
    QVERIFY(!own.allows("/more"));
    QCOMPARE(own.crawlDelayMs(), 30'000);

    const RobotsRules any = RobotsRules::parse(body, "else");
    QVERIFY(!any.allows("/x"));
    QVERIFY(any.allows("/robots.txt"));
    QCOMPARE(any.crawlDelayMs(), 5'000);

    QVERIFY(RobotsRules::parse("User-agent: other\nDisallow: /\n", "textorin").allows("/x"));
    QVERIFY(RobotsRules::parse("Disallow: /\n", "textorin").allows("/x"));
    QVERIFY(!RobotsRules::disallowAll().allows("/"));
}

void TestRobotsRules::longestMatchWinsAndAllowWinsTies()
{
    const RobotsRules rules = RobotsRules::parse("User-agent: *\nDisallow: /a\nAllow: /a/b\n"
                                                 "Disallow: /a/b/c\nAllow: /tie\nDisallow: /tie\n"
                                                 "Disallow:\nDisallow: /caf%c3%a9\n",
                                                 "textorin");
    QVERIFY(!rules.allows("/a"));
    QVERIFY(rules.allows("/a/b/x"));
    QVERIFY(!rules.allows("/a/b/c?q"));
    QVERIFY(rules.allows("/tie"));
    QVERIFY(rules.allows("/b"));
    // Escapes compare without case; a raw byte equals its escape.
    QVERIFY(!rules.allows("/caf%C3%A9/x"));
    QVERIFY(!rules.allows("/caf\xc3\xa9"));
}

void TestRobotsRules::wildcardsAndEndAnchorsMatchAsWritten()
{
    const RobotsRules rules = RobotsRules::parse("User-agent: *\nDisallow: /*.pdf$\nDisallow: /*?print=\n"
                                                 "Disallow: /x*a*a*a*a*a*a*a*a*a*a*b\n",
                                                 "textorin");
    QVERIFY(!rules.allows("/docs/a.pdf"));
    QVERIFY(rules.allows("/docs/a.pdf?x"));
    QVERIFY(!rules.allows("/p?print=1"));
    QVERIFY(rules.allows("/p?x=1"));
    // Many stars cost no more than the lengths' product.
    QVERIFY(rules.allows("/x" + QByteArray(4000, 'a')));
    QVERIFY(!rules.allows("/x" + QByteArray(4000, 'a') + "b"));
}

void TestRobotsRules::pathsMatchAsTheEngineRequestsThem_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("dot segments") << QByteArray("/public/../private/no") << false;
    QTest::newRow("escaped dot segments") << QByteArray("/public/%2e%2E/private/no") << false;
    QTest::newRow("half-escaped dot segment") << QByteArray("/public/.%2e/private") << false;
    QTest::newRow("single dot") << QByteArray("/./private") << false;
    QTest::newRow("final single dot") << QByteArray("/private/.") << false;
    QTest::newRow("above the root") << QByteArray("/x/../../private") << false;
    QTest::newRow("out of a disallowed folder") << QByteArray("/private/x/../../public") << true;
    QTest::newRow("final dot segments") << QByteArray("/private/..") << true;
    QTest::newRow("into a disallowed place") << QByteArray("/private/ok/../no") << false;
    QTest::newRow("escaped unreserved letter") << QByteArray("/%70rivate") << false;
    QTest::newRow("escaped slash stays one") << QByteArray("/public%2F..%2Fprivate") << true;
    QTest::newRow("slash for an escaped slash") << QByteArray("/a/b") << true;
    QTest::newRow("escaped slash, small letters") << QByteArray("/a%2fb") << false;
    QTest::newRow("rule's escaped tilde") << QByteArray("/~home") << false;
    QTest::newRow("query is no path") << QByteArray("/public?to=/../private") << true;
}

void TestRobotsRules::pathsMatchAsTheEngineRequestsThem()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, allowed);
    const RobotsRules rules = RobotsRules::parse("User-agent: *\nDisallow: /private\nAllow: /private/ok\n"
                                                 "Disallow: /a%2Fb\nDisallow: /%7ehome\n",
                                                 "textorin");
    QCOMPARE(rules.allows(path), allowed);
}

QTEST_GUILESS_MAIN(TestRobotsRules)
#include "tst_RobotsRules.moc"
