#include "batch/SavedRows.h"
#include "capture/OutputNames.h"
#include "fakes/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Entry {
    QString address;
    QString name;
};

} // namespace

class TestSavedRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyAddressAndNameReadsBack();
    void olderArchivesReadAsBeforeAndGoOn();
};

void TestSavedRows::everyAddressAndNameReadsBack()
{
    const QList<Entry> entries{
        {QStringLiteral("http://h/plain"), QStringLiteral("h_plain.txt")},
        {QStringLiteral("   http://h/a"), QStringLiteral("   h_a.txt")},
        {QStringLiteral("http://h/\tb "), QStringLiteral("h_\tb .txt")},
        {QStringLiteral("http://h/c\\n\r\n"), QStringLiteral("c\\\\s.txt")},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.tsv"));
    QString error;
    {
        OutputNames names;
        SavedRows rows;
        QVERIFY(rows.openArchive(path, names, &error));
        for (const Entry &entry : entries)
            QVERIFY(rows.saved(entry.address, entry.name));
    }
    const QByteArray bytes = readTestFile(path);
    QVERIFY2(bytes.startsWith("# textorin archive 2\nhttp://h/plain\th_plain.txt\n\\s  http://h/a\t"),
             bytes.constData());
    QCOMPARE(bytes.count('\n'), entries.size() + 1);

    OutputNames names;
    SavedRows rows;
    QVERIFY(rows.openArchive(path, names, &error));
    for (const Entry &entry : entries)
        QCOMPARE(rows.skipReason(entry.address, {}), QStringLiteral("in the archive"));
    QVERIFY(rows.skipReason(QStringLiteral("http://h/a"), {}).isEmpty());
    // The name with its leading blanks stays taken.
    QCOMPARE(names.reserve(QStringLiteral("http://   h/a")), QStringLiteral("   h_a (2).txt"));
}

void TestSavedRows::olderArchivesReadAsBeforeAndGoOn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.tsv"));
    const QByteArray old = "  http://h/a\\x\th_a x.txt  \r\nhttp://h/b\tname\twith tab.txt\n";
    QVERIFY(writeTestFile(path, old));
    QString error;
    {
        OutputNames names;
        SavedRows rows;
        QVERIFY(rows.openArchive(path, names, &error));
        QCOMPARE(rows.skipReason(QStringLiteral("http://h/a\\x"), {}), QStringLiteral("in the archive"));
        QCOMPARE(rows.skipReason(QStringLiteral("http://h/b\tname"), {}), QStringLiteral("in the archive"));
        QVERIFY(rows.saved(QStringLiteral(" http://h/c"), QStringLiteral("c.txt")));
    }
    // Its lines stay as they were; the header parts them from the new ones.
    QCOMPARE(readTestFile(path), old + "# textorin archive 2\n\\shttp://h/c\tc.txt\n");
    OutputNames names;
    SavedRows rows;
    QVERIFY(rows.openArchive(path, names, &error));
    QCOMPARE(rows.skipReason(QStringLiteral("http://h/a\\x"), {}), QStringLiteral("in the archive"));
    QCOMPARE(rows.skipReason(QStringLiteral(" http://h/c"), {}), QStringLiteral("in the archive"));
}

QTEST_GUILESS_MAIN(TestSavedRows)
#include "tst_SavedRows.moc"
