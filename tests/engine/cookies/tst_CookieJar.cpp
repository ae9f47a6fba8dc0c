#include "engine/cookies/CookieJar.h"

#include <QtTest>

class TestCookieJar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aRowGetsTheCookiesOfItsSiteOnly_data();
    void aRowGetsTheCookiesOfItsSiteOnly();
};

void TestCookieJar::aRowGetsTheCookiesOfItsSiteOnly_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("the host") << "example.com" << QStringList{"apex", "domain", "shop"};
    QTest::newRow("a subdomain") << "docs.EXAMPLE.com" << QStringList{"apex", "domain", "shop"};
    QTest::newRow("another site of the same suffix") << "example.net" << QStringList{"net"};
    QTest::newRow("a name ending like it") << "notexample.com" << QStringList();
    QTest::newRow("an address") << "127.0.0.1" << QStringList{"loopback"};
    QTest::newRow("another address") << "127.0.0.2" << QStringList();
    QTest::newRow("one label") << "localhost" << QStringList{"local"};
    QTest::newRow("IPv6") << "::1" << QStringList{"six"};
}

void TestCookieJar::aRowGetsTheCookiesOfItsSiteOnly()
{
    QFETCH(QString, host);
    QFETCH(QStringList, names);
    const auto cookie = [](const char *domain, const char *name) {
        BrowserCookie cookie;
        cookie.domain = QLatin1String(domain);
        cookie.name = QLatin1String(name);
        return cookie;
    };
    const CookieJar jar({cookie("example.com", "apex"), cookie(".example.com", "domain"),
                         cookie("shop.example.com", "shop"), cookie(".example.net", "net"),
                         cookie("127.0.0.1", "loopback"), cookie("localhost", "local"), cookie("::1", "six")});
    QStringList given;
    for (const BrowserCookie &kept : jar.startFor(host))
        given << kept.name;
    QCOMPARE(given, names);
}

QTEST_GUILESS_MAIN(TestCookieJar)
#include "tst_CookieJar.moc"
