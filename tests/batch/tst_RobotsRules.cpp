#include "batch/RobotsRules.h"

#include <QtTest>

class TestRobotsRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ownGroupWinsOverTheStarGroup();
    void longestMatchWinsAndAllowWinsTies();
    void wildcardsAndEndAnchorsMatchAsWritten();
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

QTEST_GUILESS_MAIN(TestRobotsRules)
#include "tst_RobotsRules.moc"
