#include "batch/BatchRun.h"
#include "fakes/CountingEventPump.h"
#include "fakes/FakeBrowser.h"
#include "fakes/TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    Fixture() { batch.setChunkRows(2); }

    QString list(const QByteArray &bytes)
    {
        const QString path = lists.filePath(QStringLiteral("list%1.txt").arg(++listCount));
        writeTestFile(path, bytes);
        return path;
    }
    int run(const QStringList &listFiles) { return batch.run(listFiles, folder.path()); }
    // The row numbers of the progress lines, in order.
    QList<int> progressRows() const
    {
        static const QRegularExpression progress(QStringLiteral("^\\[(\\d+)/"),
                                                 QRegularExpression::MultilineOption);
        QList<int> rows;
        for (auto match = progress.globalMatch(out); match.hasNext();)
            rows << match.next().captured(1).toInt();
        return rows;
    }

    QTemporaryDir folder;
    QTemporaryDir lists;
    int listCount = 0;
    FakeBrowser browser;
    CountingEventPump pump;
    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    BatchRun batch{browser, pump, outStream, errStream};
};

const QStringList FiveRows{"http://h/a", "http://h/b", "http://h/c", "http://h/d", "http://h/e"};

} // namespace

class TestBatchRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void longListsRunInChunksWithOneDoneAndOneSummary();
    void rowsTooLongFailWithoutReachingTheEngine();
    void listProblemsAreRefusedBeforeAnyRow();
    void runEndedShortLoadsNoFurtherRow();
};

void TestBatchRun::longListsRunInChunksWithOneDoneAndOneSummary()
{
    Fixture f;
    f.browser.pages.insert(QStringLiteral("http://h/c"),
                           {QString(), 0, QStringLiteral("HTTP error 404")});
    const QString list = f.list("http://h/a\n\nhttp://h/b\nhttp://h/c\r\nhttp://h/d\rhttp://h/e\n");
    QCOMPARE(f.run({list}), int(BatchRun::SomeFailed));
    QCOMPARE(f.browser.navigated, FiveRows);
    QCOMPARE(f.progressRows(), (QList<int>{1, 2, 3, 4, 5}));
    QVERIFY2(f.out.contains(QStringLiteral("] FAILED http://h/c (HTTP error 404)\n")), qPrintable(f.out));
    QVERIFY(f.out.contains(QStringLiteral("[5/5] saved http://h/e -> ")));
    QCOMPARE(f.out.count(QStringLiteral("Done.")), 1);
    QVERIFY2(f.out.endsWith(QStringLiteral("Done.\nSaved 4, failed 1, skipped 1.\n")), qPrintable(f.out));
    QCOMPARE(f.err.count(QStringLiteral("HTTP error 404")), 1);
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files).size(), 4);

    // Standard input counts as it is read: the total shows once it has all been read.
    Fixture piped;
    QBuffer input;
    input.setData("http://h/a\nhttp://h/b\nhttp://h/c\n");
    input.open(QIODevice::ReadOnly);
    piped.batch.setStandardInput(&input);
    QCOMPARE(piped.run({QStringLiteral("-")}), int(BatchRun::AllSaved));
    QVERIFY2(piped.out.startsWith(QStringLiteral("[1/?] saved http://h/a -> ")), qPrintable(piped.out));
    QVERIFY(piped.out.contains(QStringLiteral("\n[2/?] saved http://h/b -> ")));
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
    QVERIFY(f.browser.navigated.isEmpty());
    const QString start = QString(80, QChar::ReplacementCharacter) + QStringLiteral("…");
    QVERIFY(f.out.contains(QStringLiteral("] FAILED %1 (address too long)\n").arg(start)));
    QVERIFY(f.err.contains(QStringLiteral("Row 1: address too long (more than 2 MiB): ") + start));
    QVERIFY(f.out.endsWith(QStringLiteral("Saved 0, failed 1, skipped 0.\n")));

    Fixture mixed;
    const QByteArray tooLong = "http://h/" + QByteArray(2 * 1024 * 1024, 'x');
    QCOMPARE(mixed.run({mixed.list("http://h/1\n" + tooLong + "\r\nhttp://h/3")}),
             int(BatchRun::SomeFailed));
    QCOMPARE(mixed.browser.navigated, (QStringList{"http://h/1", "http://h/3"}));
    QCOMPARE(mixed.progressRows(), (QList<int>{1, 2, 3}));
    QVERIFY(mixed.out.contains(QStringLiteral("] FAILED http://h/%1… (address too long)\n")
                                   .arg(QString(71, QLatin1Char('x')))));
    QVERIFY(mixed.out.endsWith(QStringLiteral("Saved 2, failed 1, skipped 0.\n")));
}

void TestBatchRun::listProblemsAreRefusedBeforeAnyRow()
{
    Fixture f;
    QCOMPARE(f.run({f.lists.path()}), int(BatchRun::NothingRun));
    QCOMPARE(f.err, f.lists.path() + QStringLiteral(" is a folder\n"));

    Fixture missing;
    const QString nowhere = missing.lists.filePath(QStringLiteral("nope.txt"));
    QCOMPARE(missing.run({missing.list("http://h/a\n"), nowhere}), int(BatchRun::NothingRun));
    QCOMPARE(missing.err, QStringLiteral("File not found: ") + nowhere + QLatin1Char('\n'));
    QVERIFY(missing.browser.navigated.isEmpty());
}

void TestBatchRun::runEndedShortLoadsNoFurtherRow()
{
    // The folder goes after the first row: the next chunk's run refuses it once, and
    // no later row is loaded.
    Fixture f;
    f.pump.onPass = [&] {
        if (!f.browser.navigated.isEmpty())
            f.folder.remove();
    };
    QCOMPARE(f.run({f.list(FiveRows.join(QLatin1Char('\n')).toUtf8())}), int(BatchRun::SomeFailed));
    QCOMPARE(f.browser.navigated, FiveRows.mid(0, 2));
    QCOMPARE(f.progressRows(), (QList<int>{1, 2, 3, 4, 5}));
    QCOMPARE(f.out.count(QStringLiteral("Folder does not exist")), 1);
    QVERIFY2(f.out.endsWith(QStringLiteral("Done.\nSaved 1, failed 4, skipped 0.\n")), qPrintable(f.out));
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_BatchRun.moc"
