#include "batch/BatchRowSource.h"
#include "batch/OrderedOutput.h"
#include "batch/StandardOutputWriter.h"
#include "capture/OutputFormat.h"

#include <QBuffer>
#include <QtTest>

class TestOrderedOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textsComeInListOrderHoldingOnlyRowsBehindALoadingOne();
    void headsPartTheTextsAsHeadDoes();
    void headsWaitUntilASecondRowIsRead_data();
    void headsWaitUntilASecondRowIsRead();
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
    QCOMPARE(buffer.data(), QByteArray("B\n")); // a text ends its line
    QCOMPARE(output.held(), 1);
    QVERIFY(output.finished(3, QStringLiteral("c"), QByteArray("C")));
    QCOMPARE(buffer.data(), QByteArray("B\nC\nD\n"));
    // A stopped run writes what it holds past the rows that never ended.
    QVERIFY(output.finished(7, QStringLiteral("g"), QByteArray("G")));
    QVERIFY(output.flush());
    QCOMPARE(buffer.data(), QByteArray("B\nC\nD\nG\n"));
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

void TestOrderedOutput::headsWaitUntilASecondRowIsRead_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("one row") << QStringList{QStringLiteral("http://h/a")} << QByteArray("A\n");
    QTest::newRow("two rows") << QStringList{QStringLiteral("http://h/a"), QStringLiteral("http://h/b")}
                              << QByteArray("==> http://h/a <==\nA\n");
}

// A row that ends before a second is read waits for heads to be chosen.
void TestOrderedOutput::headsWaitUntilASecondRowIsRead()
{
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, written);
    BatchOptions options;
    options.addresses = rows;
    BatchRowSource source(options, OutputFormat::text(), false, {});
    QString errors;
    QTextStream err(&errors);
    source.openLists(nullptr, err, {});
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    OrderedOutput texts(buffer);
    StandardOutputWriter writer(texts, OutputFormat::text(), source, QStringLiteral("/out"));
    QCOMPARE(source.next().answer, IRowSource::Answer::Row);
    QString failure;
    QCOMPARE(writer.write({1, rows.first(), {}, -1, {}}, {}, QStringLiteral("A"), &failure), 1);
    QCOMPARE(buffer.data(), QByteArray());
    source.next();
    QVERIFY(writer.flush() && !writer.takeFailure());
    QCOMPARE(buffer.data(), written);
}

QTEST_GUILESS_MAIN(TestOrderedOutput)
#include "tst_OrderedOutput.moc"
