#include "capture/OutputFile.h"
#include "fakes/TestFiles.h"
#include "support/RuntimeError.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

// Creates or replaces the file with the text, as a run writes one page.
void writePage(const QString &path, const QString &text)
{
    OutputFileWriter writer;
    writer.open(path);
    writer.write(text);
    writer.close();
}

// The description of the error writing the page raises, or an empty string.
QString saveError(const QString &path, const QString &text)
{
    try {
        writePage(path, text);
    } catch (const RuntimeError &error) {
        return error.description();
    }
    return {};
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
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
    void neverWritesThroughSymbolicLinks();
    void controlsAndBidiMarksBecomeBlanks();
    void leadingByteOrderMarkIsIgnored();
    void longNamesAreReplacedOnLaterRuns();
    void writeErrorsGiveTheSystemsReason();
    void numberedNamesKeepTheirNumberWithinTheLimit();
};

void TestOutputFile::namesFollowTheRule_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("prefix removed") << "http://h/a/b"
                                    << "h_a_b.txt";
    QTest::newRow("no prefix") << "h/a/b"
                               << "h_a_b.txt";
    QTest::newRow("trailing slash") << "http://h/"
                                    << "h_.txt";
    QTest::newRow("query") << "http://h/p?x=1&y=2"
                           << "h_p x=1&y=2.txt";
    QTest::newRow("capital scheme stays") << "HTTP://h/"
                                          << "HTTP __h_.txt";
    QTest::newRow("secure scheme stays") << "https://h/"
                                         << "https __h_.txt";
    QTest::newRow("user info left out") << "https://me:secret@h/a"
                                        << "https __h_a.txt";
    QTest::newRow("prefix anywhere") << "xhttp://y"
                                     << "xy.txt";
    QTest::newRow("every unsafe character") << "a\\b*c:d?e<f>g|h"
                                            << "a b c d e f g h.txt";
    QTest::newRow("others pass") << " \"q\". "
                                 << " \"q\". .txt";
    QTest::newRow("empty row") << ""
                               << ".txt";
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
    const QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, mode));
    writePage(path, QString());
    QCOMPARE(readTestFile(path), QByteArray());
    QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser), mode);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("p.txt")});
}

void TestOutputFile::refusesReadOnlyFilesAndMissingFolders()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro.txt"));
    writePage(path, QStringLiteral("kept"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);

    // A write after the failed open gives the open's own reason; close does nothing.
    OutputFileWriter writer;
    QString reasons[2];
    try {
        writer.open(path);
    } catch (const RuntimeError &error) {
        reasons[0] = error.description();
    }
    try {
        writer.write(QStringLiteral("new"));
    } catch (const RuntimeError &error) {
        reasons[1] = error.description();
    }
    writer.close();
    QVERIFY(reasons[0].contains(QStringLiteral("read-only")));
    QCOMPARE(reasons[1], reasons[0]);
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

void TestOutputFile::neverWritesThroughSymbolicLinks()
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("target"));
    QVERIFY(writeTestFile(target, "kept"));
    const QString link = dir.filePath(QStringLiteral("p.txt"));
    QVERIFY(QFile::link(target, link));
    QString error = saveError(link, QStringLiteral("new"));
    QVERIFY2(error.endsWith(link + QStringLiteral(" is a symbolic link")), qPrintable(error));
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(readTestFile(target), QByteArray("kept"));

    const QString dangling = dir.filePath(QStringLiteral("d.txt"));
    const QString nothing = elsewhere.filePath(QStringLiteral("nothing"));
    QVERIFY(QFile::link(nothing, dangling));
    error = saveError(dangling, QStringLiteral("new"));
    QVERIFY2(error.endsWith(QStringLiteral(" is a symbolic link")), qPrintable(error));
    QVERIFY(QFileInfo(dangling).isSymLink());
    QVERIFY(!QFileInfo::exists(nothing));

    // A link swapped in while the text is written is replaced itself.
    const QString swapped = dir.filePath(QStringLiteral("s.txt"));
    OutputFileWriter writer;
    writer.open(swapped);
    writer.write(QStringLiteral("new"));
    QVERIFY(QFile::link(target, swapped));
    writer.close();
    QVERIFY(!QFileInfo(swapped).isSymLink());
    QCOMPARE(readTestFile(swapped), QByteArray("new"));
    QCOMPARE(readTestFile(target), QByteArray("kept"));
}

void TestOutputFile::controlsAndBidiMarksBecomeBlanks()
{
    QCOMPARE(MakeOutputFileName(QStringLiteral("http://h/a") + QChar(0) + QStringLiteral("b")),
             QStringLiteral("h_a b.txt"));
    QCOMPARE(MakeOutputFileName(QStringLiteral("h\x01\t\n\x1f\x7f") + QChar(0x85)), QStringLiteral("h      .txt"));
    QCOMPARE(MakeOutputFileName(QStringLiteral("http://h/a\u202Etxt.exe")), QStringLiteral("h_a txt.exe.txt"));
    QCOMPARE(MakeOutputFileName(QStringLiteral("\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069\u200E\u200F\u061C")),
             QString(11, QLatin1Char(' ')) + QStringLiteral(".txt"));
    // Joiners and other letters stay.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469");
    QCOMPARE(MakeOutputFileName(family), family + QStringLiteral(".txt"));
}

void TestOutputFile::leadingByteOrderMarkIsIgnored()
{
    QCOMPARE(MakeOutputFileName(QStringLiteral("\ufeffhttp://h/")), QStringLiteral("h_.txt"));
    QCOMPARE(MakeOutputFileName(QStringLiteral("\ufeff\ufeffh")), QStringLiteral("\ufeffh.txt"));
    QCOMPARE(MakeOutputFileName(QStringLiteral("h\ufeff")), QStringLiteral("h\ufeff.txt"));
}

void TestOutputFile::longNamesAreReplacedOnLaterRuns()
{
    QTemporaryDir dir;
    for (const int bytes : {249, 255}) {
        const QString path = dir.filePath(QString(bytes - 4, QLatin1Char('a')) + QStringLiteral(".txt"));
        writePage(path, QStringLiteral("first"));
        writePage(path, QStringLiteral("second"));
        QCOMPARE(readTestFile(path), QByteArray("second"));
    }
    // The earlier file stays until the whole text is written.
    const QString path = dir.filePath(QStringLiteral("p.txt"));
    writePage(path, QStringLiteral("earlier"));
    OutputFileWriter writer;
    writer.open(path);
    writer.write(QStringLiteral("later"));
    QCOMPARE(readTestFile(path), QByteArray("earlier"));
    writer.close();
    QCOMPARE(readTestFile(path), QByteArray("later"));
    QCOMPARE(entries(dir.path()).size(), 3); // no temporary file left
}

void TestOutputFile::writeErrorsGiveTheSystemsReason()
{
    // A file size limit fails a write as a full disk does, without a small file system.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = saveError(path, QString(10000, QLatin1Char('x')));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    QCOMPARE(error,
             QStringLiteral("Cannot write file: %1 (%2)").arg(path, QString::fromLocal8Bit(std::strerror(EFBIG))));
    QCOMPARE(entries(dir.path()), QStringList());
}

void TestOutputFile::numberedNamesKeepTheirNumberWithinTheLimit()
{
    const QString longName = QString(300, QChar(0x00e9)) + QStringLiteral(".txt");
    QCOMPARE(NumberedOutputFileName(QStringLiteral("a.txt"), 1), QStringLiteral("a.txt"));
    QCOMPARE(NumberedOutputFileName(longName, 1), FitOutputFileName(longName));
    QCOMPARE(NumberedOutputFileName(QStringLiteral("a.txt"), 2), QStringLiteral("a (2).txt"));
    QCOMPARE(NumberedOutputFileName(QStringLiteral("a"), 12), QStringLiteral("a (12)"));
    const QString full = QString(251, QLatin1Char('a')) + QStringLiteral(".txt");
    QCOMPARE(NumberedOutputFileName(full.mid(4), 2), full.mid(4, 247) + QStringLiteral(" (2).txt"));

    const QString emoji = QString(QStringLiteral("\U0001F600")).repeated(100) + QStringLiteral(".txt");
    for (const QString &name : {full, longName, emoji}) {
        const QString numbered = NumberedOutputFileName(name, 10);
        QVERIFY(numbered.toUtf8().size() <= 255);
        QVERIFY(numbered.endsWith(QStringLiteral(" (10).txt")));
        QCOMPARE(QString::fromUtf8(numbered.toUtf8()), numbered); // no character split
        QVERIFY(numbered.startsWith(name.left(100)));
        QVERIFY(numbered != NumberedOutputFileName(name, 11));
    }
    // Other formats keep their own extension through numbering and shortening.
    QCOMPARE(NumberedOutputFileName(MakeOutputFileName(QStringLiteral("h/a"), QStringLiteral(".md")), 2),
             QStringLiteral("h_a (2).md"));
    const QString longHtml = QString(300, QLatin1Char('h')) + QStringLiteral(".html");
    QVERIFY(FitOutputFileName(longHtml).endsWith(QStringLiteral(".html")));
    QVERIFY(NumberedOutputFileName(longHtml, 3).endsWith(QStringLiteral(" (3).html")));
    QVERIFY(NumberedOutputFileName(longHtml, 3).toUtf8().size() <= 255);
    // Long names that differ only past the kept start still differ.
    QVERIFY(NumberedOutputFileName(longName, 2)
            != NumberedOutputFileName(QString(300, QChar(0x00e9)) + QStringLiteral("x.txt"), 2));
}

QTEST_GUILESS_MAIN(TestOutputFile)
#include "tst_OutputFile.moc"
