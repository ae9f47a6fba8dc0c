#include "batch/SavedRows.h"
#include "capture/OutputNames.h"
#include "fakes/TestFiles.h"

#include <QRegularExpression>
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
    void userInfoIsLeftOutYetTellsRowsApart();
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

void TestSavedRows::userInfoIsLeftOutYetTellsRowsApart()
{
    const QString me = QStringLiteral("https://me:secret@h/a");
    const QString you = QStringLiteral("https://you:other@h/a");
    const QString recorded = SavedRows::recordedAddress(me);
    QVERIFY2(
        QRegularExpression(QStringLiteral("^https://h/a \\(user info [0-9a-f]{10}\\)$")).match(recorded).hasMatch(),
        qPrintable(recorded));
    QVERIFY(SavedRows::recordedAddress(you) != recorded);
    QCOMPARE(SavedRows::recordedAddress(recorded), recorded);
    QCOMPARE(SavedRows::recordedAddress(QStringLiteral("https://h/a")), QStringLiteral("https://h/a"));

    // An older archive holds the address as listed; a newer one its recorded form.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.tsv"));
    QVERIFY(writeTestFile(path, me.toUtf8() + "\thttps __h_a.txt\n"));
    QString error;
    {
        OutputNames names;
        SavedRows rows;
        QVERIFY(rows.openArchive(path, names, &error));
        QVERIFY(rows.saved(you, QStringLiteral("https __h_a (2).txt")));
    }
    const QByteArray bytes = readTestFile(path);
    QVERIFY2(!bytes.contains("other") && bytes.contains(SavedRows::recordedAddress(you).toUtf8()), bytes.constData());
    OutputNames names;
    names.setAddressForm(SavedRows::recordedAddress);
    SavedRows rows;
    QVERIFY(rows.openArchive(path, names, &error));
    for (const QString &row : {me, you})
        QCOMPARE(rows.skipReason(row, {}), QStringLiteral("in the archive"));
    QVERIFY(rows.skipReason(QStringLiteral("https://them:x@h/a"), {}).isEmpty());
    // A resumed run gives each row the name it had, and a new one the next.
    QCOMPARE(names.reserve(you), QStringLiteral("https __h_a (2).txt"));
    QCOMPARE(names.reserve(me), QStringLiteral("https __h_a.txt"));
    QCOMPARE(names.reserve(QStringLiteral("https://them:x@h/a")), QStringLiteral("https __h_a (3).txt"));
}

QTEST_GUILESS_MAIN(TestSavedRows)
#include "tst_SavedRows.moc"
