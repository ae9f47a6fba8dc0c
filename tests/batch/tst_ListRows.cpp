#include "batch/ListRows.h"
#include "fakes/TestFiles.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

class TestListRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void regularFilesAreCountedAheadOtherListsAsTheyAreRead();
};

void TestListRows::regularFilesAreCountedAheadOtherListsAsTheyAreRead()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeTestFile(file, "http://a/\n\nhttp://b/\r\nhttp://c/\n"));
    QString errors;
    QTextStream err(&errors);
    ListRows::Row row;
    {
        ListRows rows({}, {file}, nullptr, err);
        QTRY_COMPARE(rows.total(), 3);
        QVERIFY(rows.next(row));
        QCOMPARE(row.text, QStringLiteral("http://a/"));
    }
    {
        // Addresses given run first, one row each, counted at once.
        ListRows rows({QStringLiteral("http://u/"), QStringLiteral(" ")}, {file}, nullptr, err);
        QTRY_COMPARE(rows.total(), 4);
        QVERIFY(rows.next(row) && row.text == QStringLiteral("http://u/"));
        QVERIFY(rows.next(row) && row.text == QStringLiteral("http://a/"));
        QCOMPARE(rows.skipped(), 1);
    }

    QBuffer input;
    input.setData("http://d/\n \nhttp://e/");
    input.open(QIODevice::ReadOnly);
    ListRows rows({}, {file, QStringLiteral("-")}, &input, err);
    QStringList read;
    while (rows.next(row)) {
        if (read.size() < 4)
            QCOMPARE(rows.total(), -1);
        read << row.text;
    }
    QCOMPARE(read, (QStringList{"http://a/", "http://b/", "http://c/", "http://d/", "http://e/"}));
    QCOMPARE(rows.total(), 5);
    QCOMPARE(rows.skipped(), 2);
    QCOMPARE(errors, QString());
}

QTEST_GUILESS_MAIN(TestListRows)
#include "tst_ListRows.moc"
