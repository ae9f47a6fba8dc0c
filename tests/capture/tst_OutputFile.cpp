#include "capture/OutputFile.h"
#include "fakes/TestFiles.h"
#include "support/RuntimeError.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Creates or replaces the file with the text, as a run writes one page.
void writePage(const QString &path, const QString &text)
{
    OutputFileWriter writer;
    writer.open(path);
    writer.write(text);
    writer.close();
}

} // namespace


class TestOutputFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesFollowTheRule_data();
    void namesFollowTheRule();
    void longNamesAreShortenedOthersKept();
    void pathAlwaysAddsOneSeparator();
    void writesExactUtf8AndReplacesEarlierFiles();
    void refusesReadOnlyFilesAndMissingFolders();
    void failedSaveLeavesNothingPartial();
};

void TestOutputFile::namesFollowTheRule_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("prefix removed") << "http://h/a/b" << "h_a_b.txt";
    QTest::newRow("no prefix") << "h/a/b" << "h_a_b.txt";
    QTest::newRow("trailing slash") << "http://h/" << "h_.txt";
    QTest::newRow("query") << "http://h/p?x=1&y=2" << "h_p x=1&y=2.txt";
    QTest::newRow("capital scheme stays") << "HTTP://h/" << "HTTP __h_.txt";
    QTest::newRow("secure scheme stays") << "https://h/" << "https __h_.txt";
    QTest::newRow("prefix anywhere") << "xhttp://y" << "xy.txt";
    QTest::newRow("every unsafe character") << "a\\b*c:d?e<f>g|h" << "a b c d e f g h.txt";
    QTest::newRow("others pass") << " \"q\". " << " \"q\". .txt";
    QTest::newRow("empty row") << "" << ".txt";
}

void TestOutputFile::namesFollowTheRule()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(MakeOutputFileName(url), name);
    QCOMPARE(FitOutputFileName(name), name);
}

void TestOutputFile::longNamesAreShortenedOthersKept()
{
    const QString fits = QString(251, QLatin1Char('a')) + QStringLiteral(".txt");
    QCOMPARE(FitOutputFileName(fits), fits);

    const QString longName = QString(300, QChar(0x00e9)) + QStringLiteral(".txt"); // 2 bytes each
    const QString fitted = FitOutputFileName(longName);
    QVERIFY(fitted.toUtf8().size() <= 255);
    QVERIFY(fitted.endsWith(QStringLiteral(".txt")));
    QVERIFY(fitted.startsWith(QString(100, QChar(0x00e9))));
    QVERIFY(FitOutputFileName(QString(300, QChar(0x00e9)) + QStringLiteral("x.txt")) != fitted);

    QTemporaryDir dir;
    const QString path = MakeOutputPath(dir.path(), fitted);
    writePage(path, QStringLiteral("saved"));
    QCOMPARE(readTestFile(path), QByteArray("saved"));
}

void TestOutputFile::pathAlwaysAddsOneSeparator()
{
    QCOMPARE(MakeOutputPath(QStringLiteral("/tmp/out"), QStringLiteral("a.txt")), QStringLiteral("/tmp/out/a.txt"));
    QCOMPARE(MakeOutputPath(QStringLiteral("/tmp/out/"), QStringLiteral("a.txt")), QStringLiteral("/tmp/out//a.txt"));
}

void TestOutputFile::writesExactUtf8AndReplacesEarlierFiles()
{
    QTemporaryDir dir;
    const QString path = MakeOutputPath(dir.path() + QLatin1Char('/'), QStringLiteral("p.txt"));
    writePage(path, QStringLiteral("a much longer earlier text"));
    writePage(path, QStringLiteral("Grüße\n日本 ✓"));
    QCOMPARE(readTestFile(path), QStringLiteral("Grüße\n日本 ✓").toUtf8());
    writePage(path, QString());
    QCOMPARE(readTestFile(path), QByteArray());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("p.txt")});
}

void TestOutputFile::refusesReadOnlyFilesAndMissingFolders()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro.txt"));
    writePage(path, QStringLiteral("kept"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);

    OutputFileWriter writer;
    QVERIFY_THROWS_EXCEPTION(RuntimeError, writer.open(path));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, writer.write(QStringLiteral("new"))); // not open
    writer.close();                                                              // does nothing
    QCOMPARE(readTestFile(path), QByteArray("kept"));

    QVERIFY_THROWS_EXCEPTION(RuntimeError,
                             writePage(dir.filePath(QStringLiteral("missing/x.txt")), QStringLiteral("x")));
}

void TestOutputFile::failedSaveLeavesNothingPartial()
{
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(folder));
    OutputFileWriter writer;
    writer.open(MakeOutputPath(folder, QStringLiteral("x.txt")));
    writer.write(QStringLiteral("text"));
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY_THROWS_EXCEPTION(RuntimeError, writer.close());
    QVERIFY(!QFileInfo::exists(folder));
}

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_OutputFile.moc"
