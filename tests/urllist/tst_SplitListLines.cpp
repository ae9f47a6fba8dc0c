#include "urllist/SplitListLines.h"

#include <QtTest>

class TestSplitListLines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineEnds_data();
    void lineEnds();
    void yieldsBeforeEveryLineAndSplit();
    void mixedLineEndsInOneList();
};

void TestSplitListLines::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("CR LF") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
    QTest::newRow("LF with final LF") << QByteArray("a\n\nb\n") << QStringList{"a", "", "b", ""};
    QTest::newRow("LF without final LF") << QByteArray("a\n\nb") << QStringList{"a", "", "b"};
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("LF then CR") << QByteArray("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("only CR LF") << QByteArray("\r\n") << QStringList{""};
    QTest::newRow("only LF") << QByteArray("\n") << QStringList{"", ""};
    QTest::newRow("blanks kept") << QByteArray("  http://a/  \r\n") << QStringList{"  http://a/  "};
    QTest::newRow("byte-order mark kept")
        << QByteArray("\xef\xbb\xbfhttp://a/\r\n") << QStringList{QStringLiteral("\ufeffhttp://a/")};
    QTest::newRow("invalid UTF-8 still a row")
        << QByteArray("ok\r\n\xff\xfe bad\r\nnext") << QStringList{"ok", QStringLiteral("\ufffd\ufffd bad"), "next"};
}

void TestSplitListLines::lineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QCOMPARE(SplitListLines(bytes), rows);
}

void TestSplitListLines::yieldsBeforeEveryLineAndSplit()
{
    QStringList events;
    SplitListLines(
        QByteArray("a\nb\r\nc"), [&] { events << QStringLiteral("yield"); },
        [&](const QString &row) { events << row; });
    QCOMPARE(events, (QStringList{"yield", "yield", "a", "b", "yield", "c"}));
}

void TestSplitListLines::mixedLineEndsInOneList()
{
    QStringList events;
    SplitListLines(
        QByteArray("a\rb\rc\n\nd\r\r\ne\n\r\nf"), [&] { events << QStringLiteral("yield"); },
        [&](const QString &row) { events << row; });
    QCOMPARE(events,
             (QStringList{"yield", "a", "yield", "b", "yield", "yield", "c", "yield", "", "d", "yield", "", "yield",
                          "yield", "e", "", "yield", "f"}));
}

QTEST_GUILESS_MAIN(TestSplitListLines)
#include "tst_SplitListLines.moc"
