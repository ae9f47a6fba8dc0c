#include "batch/OrderedOutput.h"

#include <QBuffer>
#include <QtTest>

class TestOrderedOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textsComeInListOrderHoldingOnlyRowsBehindALoadingOne();
    void headsPartTheTextsAsHeadDoes();
};

void TestOrderedOutput::textsComeInListOrderHoldingOnlyRowsBehindALoadingOne()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    OrderedOutput output(buffer);
    QVERIFY(output.finished(2, QStringLiteral("b"), QByteArray("B")));
    QVERIFY(output.finished(4, QStringLiteral("d"), QByteArray("D")));
    QCOMPARE(output.held(), 2);
    QCOMPARE(buffer.data(), QByteArray());
    // Row 1 ends without a text (it failed): row 2 follows at once, row 4 waits for 3.
    QVERIFY(output.finished(1, QStringLiteral("a"), std::nullopt));
    QCOMPARE(buffer.data(), QByteArray("B"));
    QCOMPARE(output.held(), 1);
    QVERIFY(output.finished(3, QStringLiteral("c"), QByteArray("C")));
    QCOMPARE(buffer.data(), QByteArray("BCD"));
    // A stopped run writes what it holds past the rows that never ended.
    QVERIFY(output.finished(7, QStringLiteral("g"), QByteArray("G")));
    QVERIFY(output.flush());
    QCOMPARE(buffer.data(), QByteArray("BCDG"));
    QCOMPARE(output.held(), 0);
}

void TestOrderedOutput::headsPartTheTextsAsHeadDoes()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    OrderedOutput output(buffer);
    output.setHeads(true);
    QVERIFY(output.finished(1, QStringLiteral("http://a/"), QByteArray("one")));
    QVERIFY(output.finished(2, QStringLiteral("http://b/"), QByteArray("two\n")));
    QVERIFY(output.finished(3, QStringLiteral("http://c/"), QByteArray("p1\fp2")));
    QCOMPARE(buffer.data(),
             QByteArray("==> http://a/ <==\none\n\n==> http://b/ <==\ntwo\n\n==> http://c/ <==\np1\fp2\n"));

    QBuffer closed;
    OrderedOutput failing(closed);
    QVERIFY(!failing.finished(1, QStringLiteral("a"), QByteArray("A")));
    QVERIFY(!failing.errorString().isEmpty());
}

QTEST_GUILESS_MAIN(TestOrderedOutput)
#include "tst_OrderedOutput.moc"
