#include "batch/BatchRun.h"
#include "fakes/CountingEventPump.h"
#include "fakes/FakePage.h"
#include "fakes/TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct Fixture {
    QString list(const QByteArray &bytes)
    {
        const QString path = lists.filePath(QStringLiteral("list%1.txt").arg(++listCount));
        writeTestFile(path, bytes);
        return path;
    }
    int run(const QStringList &listFiles)
    {
        options.listFiles = listFiles;
        if (options.folder.isEmpty())
            options.folder = folder.path();
        BatchRun batch(options, {&page}, pump, outStream, errStream);
        batch.setStandardInput(input);
        batch.setReport(report);
        return batch.run();
    }
    // The summary line of these counts.
    QString summary(const char *counts) const
    {
        return QString::fromUtf8(counts) + QStringLiteral(" Folder: ") + folder.path() + QLatin1Char('\n');
    }
    // The row numbers of the progress lines, in order.
    QList<int> progressRows() const
    {
        static const QRegularExpression progress(QStringLiteral("^\\[(\\d+)/"), QRegularExpression::MultilineOption);
        QList<int> rows;
        for (auto match = progress.globalMatch(out); match.hasNext();)
            rows << match.next().captured(1).toInt();
        return rows;
    }

    QTemporaryDir folder;
    QTemporaryDir lists;
    int listCount = 0;
    FakePage page;
    CountingEventPump pump;
    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    QIODevice *input = nullptr;
    QFileDevice *report = nullptr;
    BatchOptions options;
};

const QStringList FiveRows{"http://h/a", "http://h/b", "http://h/c", "http://h/d", "http://h/e"};

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsStreamThroughOneRunWithOneLinePerRow();
    void rowsTooLongFailWithoutReachingTheEngine();
    void listProblemsAreRefusedBeforeAnyRow();
    void folderRemovedMidRunFailsTheRowsLeftWithTheReason();
    void readOnlyFolderFailsEachRowWithTheSystemsReason();
    void archiveAndReportThatCannotBeWrittenAreNamedOnce();
    void userInfoReachesOnlyThePage();
    void addressesNeverDriveTheTerminal();
    void ownFilesAreNeverReplaced_data();
    void ownFilesAreNeverReplaced();
    void failedRowLeavesNoFolderItMade();
    void rowsOfAnAddressSavedAreSkippedAndCountedSo();
};

void TestBatchRun::listsStreamThroughOneRunWithOneLinePerRow()
{
    Fixture f;
    f.page.rows.insert(QStringLiteral("http://h/c"), {QString(), 0, QStringLiteral("HTTP error 404")});
    const QString list = f.list("http://h/a\n\nhttp://h/b\nhttp://h/c\r\nhttp://h/d\rhttp://h/e\n");
    QCOMPARE(f.run({list}), int(BatchRun::SomeFailed));
    QCOMPARE(f.page.navigated, FiveRows);
    QCOMPARE(f.progressRows(), (QList<int>{1, 2, 3, 4, 5}));
    QVERIFY2(f.out.contains(QStringLiteral("] FAILED http://h/c (HTTP error 404)\n")), qPrintable(f.out));
    QVERIFY(f.out.contains(QStringLiteral("[5/5] saved http://h/e -> ")));
    QCOMPARE(f.out.count(QStringLiteral("Done.")), 1);
    QVERIFY2(f.out.endsWith(QStringLiteral("Done.\n") + f.summary("Saved 4, failed 1, skipped 0.")), qPrintable(f.out));
    // A failed row is its one line: no error report besides it.
    QVERIFY2(f.err.isEmpty(), qPrintable(f.err));
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files).size(), 4);

    // Standard input counts as it is read: the total shows once it has all been read,
    // which a short list is before its first row ends.
    Fixture piped;
    QBuffer input;
    input.setData("http://h/a\nhttp://h/b\nhttp://h/c\n");
    input.open(QIODevice::ReadOnly);
    piped.input = &input;
    QCOMPARE(piped.run({QStringLiteral("-")}), int(BatchRun::AllSaved));
    QVERIFY2(piped.out.startsWith(QStringLiteral("[1/3] saved http://h/a -> ")), qPrintable(piped.out));
    QVERIFY(piped.out.contains(QStringLiteral("\n[3/3] saved http://h/c -> ")));
}

void TestBatchRun::rowsTooLongFailWithoutReachingTheEngine()
{
    Fixture f;
    const QString sparse = f.lists.filePath(QStringLiteral("sparse.txt"));
    QFile file(sparse);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(1) << 30));
    file.close();
    QCOMPARE(f.run({sparse}), int(BatchRun::SomeFailed));
    QVERIFY(f.page.navigated.isEmpty());
    const QString start = QString(80, QChar::ReplacementCharacter) + QStringLiteral("…");
    QVERIFY(f.out.contains(QStringLiteral("] FAILED %1 (address too long)\n").arg(start)));
    QVERIFY(f.out.endsWith(f.summary("Saved 0, failed 1, skipped 0.")));

    Fixture mixed;
    const QByteArray tooLong = "http://h/" + QByteArray(2 * 1024 * 1024, 'x');
    QCOMPARE(mixed.run({mixed.list("http://h/1\n" + tooLong + "\r\nhttp://h/3")}), int(BatchRun::SomeFailed));
    QCOMPARE(mixed.page.navigated, (QStringList{"http://h/1", "http://h/3"}));
    // The row too long ends as it is read, before the one loading.
    QCOMPARE(mixed.progressRows(), (QList<int>{2, 1, 3}));
    QVERIFY(mixed.out.contains(
        QStringLiteral("] FAILED http://h/%1… (address too long)\n").arg(QString(71, QLatin1Char('x')))));
    QVERIFY(mixed.out.endsWith(mixed.summary("Saved 2, failed 1, skipped 0.")));
}

void TestBatchRun::listProblemsAreRefusedBeforeAnyRow()
{
    Fixture f;
    QCOMPARE(f.run({f.lists.path()}), int(BatchRun::NothingRun));
    QCOMPARE(f.err, QStringLiteral("textorin-batch: ") + f.lists.path() + QStringLiteral(" is a folder\n"));

    Fixture missing;
    const QString nowhere = missing.lists.filePath(QStringLiteral("nope.txt"));
    QCOMPARE(missing.run({missing.list("http://h/a\n"), nowhere}), int(BatchRun::NothingRun));
    QCOMPARE(missing.err,
             QStringLiteral("textorin-batch: File not found: %1 (not a file, and not an address: to save one address "
                            "give it with its scheme or -u)\n")
                 .arg(nowhere));
    QVERIFY(missing.page.navigated.isEmpty());
}

void TestBatchRun::folderRemovedMidRunFailsTheRowsLeftWithTheReason()
{
    Fixture f;
    f.page.onPoll = [&](const QString &url, int) {
        if (url != FiveRows.first())
            f.folder.remove();
    };
    QCOMPARE(f.run({f.list(FiveRows.join(QLatin1Char('\n')).toUtf8())}), int(BatchRun::SomeFailed));
    QCOMPARE(f.progressRows(), (QList<int>{1, 2, 3, 4, 5}));
    QCOMPARE(f.out.count(QStringLiteral("No such file or directory")), 4);
    QVERIFY2(f.out.endsWith(QStringLiteral("Done.\n") + f.summary("Saved 1, failed 4, skipped 0.")), qPrintable(f.out));
}

void TestBatchRun::readOnlyFolderFailsEachRowWithTheSystemsReason()
{
    if (::geteuid() == 0)
        QSKIP("the superuser writes into read-only folders");
    Fixture f;
    QVERIFY(QFile::setPermissions(f.folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QCOMPARE(f.run({f.list("http://h/a\nhttp://h/b\n")}), int(BatchRun::SomeFailed));
    QFile::setPermissions(f.folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(f.out.count(QStringLiteral("(Cannot create file: ")), 2);
    QCOMPARE(f.out.count(QStringLiteral("(Permission denied))")), 2);
}

void TestBatchRun::archiveAndReportThatCannotBeWrittenAreNamedOnce()
{
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo::exists(full))
        QSKIP("no /dev/full");
    Fixture f;
    QFile report(full);
    QVERIFY(report.open(QIODevice::WriteOnly));
    f.report = &report;
    f.options.report = full;
    f.options.archive = full;
    QCOMPARE(f.run({f.list(FiveRows.join(QLatin1Char('\n')).toUtf8())}), int(BatchRun::SomeFailed));
    const QString reason = QString::fromLocal8Bit(std::strerror(ENOSPC));
    QCOMPARE(f.err, QStringLiteral("textorin-batch: cannot write /dev/full: %1\n").arg(reason).repeated(2));
    QVERIFY2(f.out.endsWith(f.summary("Saved 5, failed 0, skipped 0.")), qPrintable(f.out));
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files).size(), 5);
}

void TestBatchRun::userInfoReachesOnlyThePage()
{
    Fixture f;
    QFile report(f.lists.filePath(QStringLiteral("report.jsonl")));
    QVERIFY(report.open(QIODevice::WriteOnly));
    f.report = &report;
    f.options.report = report.fileName();
    f.options.archive = f.lists.filePath(QStringLiteral("done.tsv"));
    f.options.format = QStringLiteral("json");
    const QString row = QStringLiteral("https://me:secret@h/a");
    QCOMPARE(f.run({f.list(row.toUtf8())}), int(BatchRun::AllSaved));
    QCOMPARE(f.page.navigated, QStringList{row});
    const QString file = f.folder.filePath(QStringLiteral("https __h_a.json"));
    QVERIFY2(f.out.startsWith(QStringLiteral("[1/1] saved https://h/a -> %1\n").arg(file)), qPrintable(f.out));
    report.close();
    const QByteArray written =
        f.out.toUtf8() + readTestFile(report.fileName()) + readTestFile(f.options.archive) + readTestFile(file);
    QVERIFY2(written.contains("\"url\": \"https://h/a\"") && written.contains("\"address\":\"https://h/a\""),
             written.constData());
    QVERIFY2(!written.contains("secret") && !written.contains("me@"), written.constData());
}

void TestBatchRun::addressesNeverDriveTheTerminal()
{
    Fixture f;
    f.options.addresses = {QStringLiteral("http://h/a\r\n[2/2] saved forged\x1b[2J")};
    QCOMPARE(f.run({}), int(BatchRun::AllSaved));
    QVERIFY2(f.out.startsWith(QStringLiteral("[1/1] saved http://h/a\\r\\n[2/2] saved forged\\x1b[2J -> ")),
             qPrintable(f.out));
    QCOMPARE(f.out.count(QLatin1Char('\n')), 3);
}

void TestBatchRun::ownFilesAreNeverReplaced_data()
{
    QTest::addColumn<QString>("which");
    for (const char *which : {"list", "archive", "report", "cookies", "save-cookies", "password-file", "linked folder"})
        QTest::newRow(which) << QString::fromLatin1(which);
}

void TestBatchRun::ownFilesAreNeverReplaced()
{
    QFETCH(QString, which);
    Fixture f;
    const QByteArray kept = "http://h/x\n";
    QString own = f.folder.filePath(QStringLiteral("h_x.txt"));
    QStringList lists{f.list(kept)};
    if (which == QLatin1String("list")) {
        lists = {own};
    } else if (which == QLatin1String("archive")) {
        f.options.archive = own;
    } else if (which == QLatin1String("report")) {
        f.options.report = own;
    } else if (which == QLatin1String("cookies")) {
        f.options.cookiesFile = own;
    } else if (which == QLatin1String("save-cookies")) {
        f.options.saveCookiesFile = own;
    } else if (which == QLatin1String("password-file")) {
        f.options.passwordFile = own;
    } else {
        // The folder is a link to the list's own.
        own = f.lists.filePath(QStringLiteral("h_x.txt"));
        lists = {own};
        f.options.folder = f.folder.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(f.lists.path(), f.options.folder));
    }
    QVERIFY(writeTestFile(own, kept));
    QCOMPARE(f.run(lists), int(BatchRun::SomeFailed));
    QVERIFY2(f.out.startsWith(QStringLiteral("[1/1] FAILED http://h/x (the name is one of this run's own files)\n")),
             qPrintable(f.out));
    QCOMPARE(readTestFile(own), kept);
}

void TestBatchRun::failedRowLeavesNoFolderItMade()
{
    Fixture f;
    const QString part(200, QLatin1Char('d'));
    QVERIFY(QDir(f.folder.path()).mkdir(part)); // there before: it stays
    f.options.nameTemplate = QStringLiteral("{path}");
    const QString row =
        QStringLiteral("http://h/") + QStringList(30, part).join(QLatin1Char('/')) + QStringLiteral("/f");
    QCOMPARE(f.run({f.list(row.toUtf8())}), int(BatchRun::SomeFailed));
    QVERIFY2(f.out.contains(QString::fromLocal8Bit(std::strerror(ENAMETOOLONG))), qPrintable(f.out));
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{part});
    QVERIFY(QDir(f.folder.filePath(part)).isEmpty());
}

void TestBatchRun::rowsOfAnAddressSavedAreSkippedAndCountedSo()
{
    Fixture f;
    QFile report(f.lists.filePath(QStringLiteral("report.jsonl")));
    QVERIFY(report.open(QIODevice::WriteOnly));
    f.report = &report;
    f.options.report = report.fileName();
    f.options.archive = f.lists.filePath(QStringLiteral("done.tsv"));
    const QString list = f.list("http://h/a\nHTTP://H/a\nhttp://h/b\nhttp://h/a\n");
    QCOMPARE(f.run({list}), int(BatchRun::AllSaved));
    QCOMPARE(f.page.navigated, (QStringList{QStringLiteral("http://h/a"), QStringLiteral("http://h/b")}));
    QVERIFY2(f.out.contains(QStringLiteral("[2/4] skipped HTTP://H/a (same address as row 1)\n")), qPrintable(f.out));
    QVERIFY(f.out.contains(QStringLiteral("[4/4] skipped http://h/a (same address as row 1)\n")));
    // The counts are the files.
    QVERIFY2(f.out.endsWith(f.summary("Saved 2, failed 0, skipped 2.")), qPrintable(f.out));
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files).size(), 2);
    report.close();
    const QByteArray records = readTestFile(report.fileName());
    QCOMPARE(records.count("\"outcome\":\"skipped\""), 2);
    QCOMPARE(records.count("\"reason\":\"same address as row 1\""), 2);
    QCOMPARE(records.count("\"outcome\":\"saved\""), 2);

    // The archive keeps the rows saved by their text: the next run loads neither,
    // and the row saved in their place holds the last one.
    f.page.navigated.clear();
    const qsizetype before = f.out.size();
    f.report = nullptr;
    f.options.report.clear();
    QCOMPARE(f.run({list}), int(BatchRun::AllSaved));
    QVERIFY(!f.page.navigated.contains(QStringLiteral("http://h/a")));
    QVERIFY(!f.page.navigated.contains(QStringLiteral("http://h/b")));
    QCOMPARE(f.out.mid(before).count(QStringLiteral("(in the archive)")), 2);
    QVERIFY(f.out.mid(before).contains(QStringLiteral("[4/4] skipped http://h/a (same address as row 2)\n")));
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_BatchRun.moc"
