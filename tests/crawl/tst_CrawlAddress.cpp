#include "crawl/CrawlAddress.h"

#include <QtTest>

class TestCrawlAddress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalised_data();
    void normalised();
};

void TestCrawlAddress::normalised_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("ignoreQuery");
    QTest::addColumn<QStringList>("ignoredParams");
    QTest::addColumn<QString>("normalised");
    QTest::addColumn<QString>("host");
    const auto row = [](const char *name, const QString &address, const QString &normalised, const QString &host) {
        QTest::newRow(name) << address << false << QStringList() << normalised << host;
    };
    row("case, port, dots, fragment", "http://Example.COM:80/a/./b/../c#x", "http://example.com/a/c", "example.com");
    row("https port, empty path", "https://h:443", "https://h/", "h");
    row("other ports kept", "https://h:80?", "https://h:80/", "h");
    row("user info", "http://u:p@h/", "http://h/", "h");
    row("~ encoded", "http://h/a%7eb", "http://h/a~b", "h");
    row("~ plain", "http://h/a~b", "http://h/a~b", "h");
    row("~ encoded uppercase", "http://h/a%7Eb", "http://h/a~b", "h");
    row("unreserved decoded", "http://h/%41%2d%5F", "http://h/A-_", "h");
    row("%2F stays", "http://h/a%2fb?x=%2f", "http://h/a%2Fb?x=%2F", "h");
    row("space and non-ASCII", "http://h/a b/é?q=é", "http://h/a%20b/%C3%A9?q=%C3%A9", "h");
    row("a byte that is no UTF-8", "http://h/%e9", "http://h/%E9", "h");
    row("dots in names", "http://h/a/.b/..c/", "http://h/a/.b/..c/", "h");
    row("trailing ..", "http://h/a/b/..", "http://h/a/", "h");
    row("above the root", "http://h/../../a", "http://h/a", "h");
    row("encoded dots", "http://h/a/%2e%2E/b", "http://h/b", "h");
    row("double slash kept", "http://h/a//b", "http://h/a//b", "h");
    row("query order kept", "http://h/?b=2&a=1", "http://h/?b=2&a=1", "h");
    row("lone ?", "http://h/p?#top", "http://h/p", "h");
    row("IPv6", "http://[2001:DB8:0::1]:80/x", "http://[2001:db8::1]/x", "2001:db8::1");
    row("IPv6 with port", "https://[::1]:8443", "https://[::1]:8443/", "::1");
    row("IDN", "http://Bücher.de/", "http://xn--bcher-kva.de/", "xn--bcher-kva.de");
    row("file", "file:///a/./b/../c", "file:///a/c", "");
    row("no host", "http:///x", "", "");
    row("relative", "/a/b", "", "");
    row("mailto", "mailto:me@h", "", "");
    row("ftp", "ftp://h/", "", "");
    row("javascript", "javascript:go()", "", "");
    row("bad port", "http://h:99999/", "", "");

    const QString tracked = QStringLiteral("http://h/p?id=7&utm_source=x&UTM_Term=z&utm_medium=y&ref=1&referrer=2");
    const QStringList ignored{QStringLiteral("utm_*"), QStringLiteral("ref")};
    QTest::newRow("ignored params") << tracked << false << ignored << "http://h/p?id=7&UTM_Term=z&referrer=2"
                                    << "h";
    QTest::newRow("none left") << "http://h/p?utm_source=x&ref" << false << ignored << "http://h/p"
                               << "h";
    QTest::newRow("ignore query") << tracked << true << QStringList() << "http://h/p"
                                  << "h";
}

void TestCrawlAddress::normalised()
{
    QFETCH(QString, address);
    QFETCH(bool, ignoreQuery);
    QFETCH(QStringList, ignoredParams);
    QFETCH(QString, normalised);
    QFETCH(QString, host);
    const QueryRules rules{ignoreQuery, ignoredParams};
    QCOMPARE(CrawlAddress::normalised(address, rules), normalised);
    // The frontier may normalise a stored address again.
    QCOMPARE(CrawlAddress::normalised(normalised, rules), normalised);
    QCOMPARE(CrawlAddress::hostOf(normalised), host);
}

QTEST_GUILESS_MAIN(TestCrawlAddress)
#include "tst_CrawlAddress.moc"
