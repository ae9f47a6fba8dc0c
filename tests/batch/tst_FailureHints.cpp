#include "batch/FailureHints.h"
#include "capture/RowResult.h"

#include <QtTest>

class TestFailureHints : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachCommonFailureHasItsHintOnce_data();
    void eachCommonFailureHasItsHintOnce();
};

void TestFailureHints::eachCommonFailureHasItsHintOnce_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("hint");
    const QString certificate = QStringLiteral("--no-check-certificate");
    QTest::newRow("untrusted CA") << "net::ERR_CERT_AUTHORITY_INVALID" << 0 << true << certificate;
    QTest::newRow("bad handshake") << "net::ERR_SSL_PROTOCOL_ERROR" << 0 << true << certificate;
    QTest::newRow("time-out") << "timed out after 0.2 s" << 0 << true << QStringLiteral("--timeout");
    QTest::newRow("429") << "HTTP error 429 Too Many Requests" << 429 << true << QStringLiteral("--wait");
    QTest::newRow("503") << "HTTP error 503 Service Unavailable" << 503 << true << QStringLiteral("--tries");
    QTest::newRow("404") << "HTTP error 404 Not Found" << 404 << true << QString();
    QTest::newRow("refused") << "net::ERR_CONNECTION_REFUSED" << 0 << true << QString();
    QTest::newRow("skipped, not failed") << "timed out after 1 s" << 0 << false << QString();
}

void TestFailureHints::eachCommonFailureHasItsHintOnce()
{
    QFETCH(QString, reason);
    QFETCH(int, status);
    QFETCH(bool, failed);
    QFETCH(QString, hint);
    RowResult result;
    result.outcome = failed ? RowResult::Outcome::Failed : RowResult::Outcome::Skipped;
    result.reason = reason;
    result.page.httpStatus = status;
    FailureHints hints;
    const QString first = hints.firstFor(result);
    QVERIFY2(hint.isEmpty() ? first.isEmpty() : first.contains(hint), qPrintable(first));
    QCOMPARE(hints.firstFor(result), QString());
}

QTEST_GUILESS_MAIN(TestFailureHints)
#include "tst_FailureHints.moc"
