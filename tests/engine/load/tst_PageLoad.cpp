#include "engine/PageAddress.h"
#include "engine/load/PageLoad.h"

#include <QtTest>

class TestPageLoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eventsOfOtherDocumentsChangeNothing();
    void eventsBeforeTheReplyCountOnceItComes();
    void failuresNameTheirCause_data();
    void failuresNameTheirCause();
    void abortedLoadWaitsForSignsOfADownload();
    void rowsBecomeAddresses_data();
    void rowsBecomeAddresses();
};

void TestPageLoad::abortedLoadWaitsForSignsOfADownload()
{
    PageLoad download;
    download.navigated(QStringLiteral("d"), QStringLiteral("net::ERR_ABORTED"), false);
    QVERIFY(download.abortPending() && !download.failed());
    download.documentAttachment(QStringLiteral("d")); // its raw headers, after the abort
    QVERIFY(download.failure().contains(QStringLiteral("download")));

    PageLoad aborted;
    aborted.navigated({}, QStringLiteral("net::ERR_ABORTED"), false);
    QVERIFY(!aborted.failed());
    aborted.decideAbort();
    QCOMPARE(aborted.failure(), QStringLiteral("the load was aborted (net::ERR_ABORTED)"));
}

void TestPageLoad::eventsOfOtherDocumentsChangeNothing()
{
    PageLoad load;
    load.navigated(QStringLiteral("mine"), {}, false);
    load.documentResponse(QStringLiteral("old"), 404, {}, false, 0);
    load.lifecycle(QStringLiteral("old"), QStringLiteral("load"));
    QVERIFY(!load.failed());
    QVERIFY(!load.loaded());
    load.lifecycle(QStringLiteral("mine"), QStringLiteral("DOMContentLoaded"));
    QVERIFY(load.parsed() && !load.loaded());
    load.lifecycle(QStringLiteral("mine"), QStringLiteral("load"));
    QVERIFY(load.loaded());
    // A document the page moves on to by itself is followed.
    load.follow(QStringLiteral("next"));
    QVERIFY(!load.parsed());
    load.documentResponse(QStringLiteral("next"), 500, {}, false, 0);
    QCOMPARE(load.failure(), QStringLiteral("HTTP error 500 Internal Server Error"));
}

void TestPageLoad::eventsBeforeTheReplyCountOnceItComes()
{
    PageLoad load;
    load.documentResponse(QStringLiteral("mine"), 410, QStringLiteral("Gone"), false, 0);
    QVERIFY(!load.failed());
    load.navigated(QStringLiteral("mine"), {}, false);
    QCOMPARE(load.failure(), QStringLiteral("HTTP error 410 Gone"));

    PageLoad within;
    within.navigated({}, {}, false);
    QVERIFY(within.withinDocument() && within.loaded() && !within.failed());
}

void TestPageLoad::failuresNameTheirCause_data()
{
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<bool>("isDownload");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("attachment");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("failure");
    QTest::newRow("network") << "net::ERR_NAME_NOT_RESOLVED" << false << 0 << false << qint64(0)
                             << "net::ERR_NAME_NOT_RESOLVED";
    QTest::newRow("status wins over the engine's error")
        << "net::ERR_INVALID_AUTH_CREDENTIALS" << false << 401 << false << qint64(0) << "HTTP error 401 Unauthorized";
    QTest::newRow("unknown status") << "" << false << 599 << false << qint64(0) << "HTTP error 599";
    QTest::newRow("download") << "net::ERR_ABORTED" << true << 200 << false << qint64(0)
                              << "the address is a download, not a page";
    QTest::newRow("attachment") << "" << false << 200 << true << qint64(0)
                                << "the address is a download (an attachment), not a page";
    QTest::newRow("too large") << "" << false << 200 << false << qint64(17 * 1024 * 1024)
                               << "page too large (more than 16 MiB)";
    QTest::newRow("fine") << "" << false << 200 << false << qint64(1000) << "";
}

void TestPageLoad::failuresNameTheirCause()
{
    QFETCH(QString, errorText);
    QFETCH(bool, isDownload);
    QFETCH(int, status);
    QFETCH(bool, attachment);
    QFETCH(qint64, bytes);
    QFETCH(QString, failure);
    PageLoad load;
    if (status)
        load.documentResponse(QStringLiteral("id"), status, {}, attachment, 0);
    load.documentData(QStringLiteral("id"), bytes);
    load.navigated(QStringLiteral("id"), errorText, isDownload);
    QCOMPARE(load.failure(), failure);
}

void TestPageLoad::rowsBecomeAddresses_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("url"); // empty when refused
    QTest::addColumn<QString>("reason"); // part of the refusal
    QTest::newRow("empty") << ""
                           << "about:blank"
                           << "";
    QTest::newRow("blank") << "  \t"
                           << "about:blank"
                           << "";
    QTest::newRow("no scheme") << "example.com/a b"
                               << "http://example.com/a%20b"
                               << "";
    QTest::newRow("host and port") << "localhost:8080/x"
                                   << "http://localhost:8080/x"
                                   << "";
    QTest::newRow("local path") << "/tmp/page.html"
                                << "file:///tmp/page.html"
                                << "";
    QTest::newRow("https") << " https://h/p?q=1#f "
                           << "https://h/p?q=1#f"
                           << "";
    QTest::newRow("data") << "data:text/html,<b>x</b>"
                          << "data:text/html,<b>x</b>"
                          << "";
    QTest::newRow("about:blank") << "about:blank#top"
                                 << "about:blank#top"
                                 << "";
    QTest::newRow("javascript") << "JavaScript:alert(1)"
                                << ""
                                << "javascript:";
    QTest::newRow("ftp") << "ftp://h/f"
                         << ""
                         << "unsupported scheme \"ftp:\"";
    QTest::newRow("mailto") << "mailto:a@b"
                            << ""
                            << "unsupported scheme \"mailto:\"";
    QTest::newRow("chrome") << "chrome://settings"
                            << ""
                            << "unsupported scheme";
    QTest::newRow("about") << "about:srcdoc"
                           << ""
                           << "unsupported address";
    QTest::newRow("byte-order mark") << QString(QChar(0xFEFF)) + "http://h/"
                                     << "http://h/"
                                     << "";
    QTest::newRow("too long") << "http://h/" + QString(2 * 1024 * 1024, QLatin1Char('a')) << ""
                              << "address too long";
}

void TestPageLoad::rowsBecomeAddresses()
{
    QFETCH(QString, row);
    QFETCH(QString, url);
    QFETCH(QString, reason);
    const PageAddress address = PageAddress::fromRow(row);
    QCOMPARE(address.kind == PageAddress::Load, reason.isEmpty());
    QCOMPARE(address.url, url);
    QVERIFY2(address.reason.contains(reason), qPrintable(address.reason));
}

QTEST_GUILESS_MAIN(TestPageLoad)
#include "tst_PageLoad.moc"
