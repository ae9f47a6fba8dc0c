#include "batch/BatchRun.h"
#include "fakes/LocalHttpServer.h"
#include "fakes/TestFiles.h"
#include "process/ChildProcesses.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSet>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <tuple>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// Exit status 2, one line naming the problem, then where help is.
bool isUsageError(const Result &result, const QString &problem)
{
    const QStringList lines = result.err.split(QLatin1Char('\n'));
    return result.exitCode == 2 && lines.size() == 3
        && lines.at(0).startsWith(QStringLiteral("textorin-batch: ")) && lines.at(0).contains(problem)
        && lines.at(1) == QStringLiteral("Try 'textorin-batch --help'.") && lines.at(2).isEmpty();
}

} // namespace

class TestBatchFrontEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void savesEveryListedPage();
    void readsStandardInputAndReportsFailures();
    void refusesBadUsageMissingListsEmptyListsAndBadFolders();
    void helpExplainsTheOptions();
    void bothProgramsPrintTheirVersion();
    void addressesComeFirstAndMissingFoldersAreMade();
    void quietPrintsOnlyFailuresWithTheirReasons();
    void optionsShapeTheLoadAndBadValuesAreRefused();
    void missingEngineIsOneClearError();
    void terminationEndsTheEngineAndItsProfile();
    void killedRunsProfileGoesWithTheNextRun();
    void terminationEndsTheReadingOfAnEndlessList();
    void runsWithStandardDescriptorsClosed();
    void collidingNamesKeepEveryPage();
    void parallelRowsEndAsOneAtATime();
    void busyServersAreTriedAgain();
    void pageOverTheMemoryCapFailsAlone();
    void archiveAndNoClobberSkipWhatIsSaved();
    void reportHasOneObjectPerRow();
    void neverWritesThroughALink();
    void shardsSplitTheListWithoutOverlapOrGap();
    void formatsKeepTheArticleAndItsStructure();
    void documentationFaultsConvertAndKeepTheArticle();
    void cookiesFileSignsInAndIsSavedForTheNextRun();
    void currentFolderByDefaultAndCommentsAreNoRows();
    void standardOutputKeepsListOrderAndEndsWhenClosed();
    void configurationFileGivesOptionsFirst();
    void nameTemplateMakesFoldersAndStaysInside();
    void sitemapIndexesAndFeedsGiveTheRows();
    void robotsTxtSkipsRowsAndSlowsTheHost();
    void robotsTxtOfWhereARedirectLeadsIsFollowed();
    void robotsTxtThatNeverAnswersHoldsUpNoOtherRow();

private:
    Result runBatch(const QStringList &arguments, const QByteArray &input = {},
                    const QProcessEnvironment &extra = {}, const QList<int> &closed = {});
    QString writeList(const QByteArray &bytes);

    LocalHttpServer m_server;
    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    QTemporaryDir m_current; // the program's working directory
};

void TestBatchFrontEnd::initTestCase()
{
    QVERIFY(m_server.listen());
    m_server.page("/one", "<html><body><p>one</p></body></html>");
    m_server.page("/two", "<html><body><p>two ✓</p></body></html>");
    m_server.page("/width", "<html><body><script>document.write(innerWidth + 'x' + innerHeight)"
                            "</script></body></html>");
    LocalHttpServer::Reply silent;
    silent.silent = true;
    m_server.route("/silent", silent);
    m_server.route("/never", silent);
    m_server.page("/image", "<html><body><p>image page</p><img src=/silent></body></html>");
}

Result TestBatchFrontEnd::runBatch(const QStringList &arguments, const QByteArray &input,
                                   const QProcessEnvironment &extra, const QList<int> &closed)
{
    QProcess process;
    // Standard descriptors the program starts without.
    process.setChildProcessModifier([closed] {
        for (int descriptor : closed)
            ::close(descriptor);
    });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    environment.insert(QStringLiteral("HOME"), m_config.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_current.path());
    process.start(QStringLiteral(TEXTORIN_BATCH_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    // The pages are served by this process, so keep its event loop going.
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < 60000)
        QTest::qWait(20);
    Result result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString TestBatchFrontEnd::writeList(const QByteArray &bytes)
{
    static int count = 0;
    const QString path = m_dir.filePath(QStringLiteral("list%1.txt").arg(++count));
    writeTestFile(path, bytes);
    return path;
}

void TestBatchFrontEnd::savesEveryListedPage()
{
    QTemporaryDir out;
    const QByteArray list = (m_server.url("/one") + "\r\n\r\n   \n" + m_server.url("/two")).toUtf8();
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), writeList(list)});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("Done.\n")), qPrintable(result.out));
    QVERIFY(result.out.contains(QStringLiteral("Saved 2, failed 0, skipped 2.")));
    QCOMPARE(result.out.count(QStringLiteral("] saved ")), 2);
    const QStringList files = QDir(out.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 2);
    QFile two(out.filePath(QStringLiteral("127.0.0.1 %1_two.txt").arg(m_server.port())));
    QVERIFY(two.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(two.readAll()), QStringLiteral("two ✓"));
}

void TestBatchFrontEnd::readsStandardInputAndReportsFailures()
{
    QTemporaryDir out;
    const QByteArray list = (m_server.url("/one") + "\n" + m_server.url("/missing") + "\n").toUtf8();
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("-")}, list);
    QCOMPARE(result.exitCode, 1);
    // A failed row is one line, with no error report besides it.
    QVERIFY(result.out.contains(QStringLiteral("[2/2] FAILED %1 (HTTP error 404 Not Found)\n").arg(m_server.url("/missing"))));
    QVERIFY2(!result.err.contains(QStringLiteral("Application Error")), qPrintable(result.err));
    QVERIFY(result.out.contains(QStringLiteral("Saved 1, failed 1, skipped 0.")));
}

void TestBatchFrontEnd::refusesBadUsageMissingListsEmptyListsAndBadFolders()
{
    QTemporaryDir out;
    Result result = runBatch({});
    QVERIFY2(isUsageError(result, QStringLiteral("missing LISTFILE or -u URL")), qPrintable(result.err));

    result = runBatch({QStringLiteral("--bogus"), writeList("x")});
    QVERIFY2(isUsageError(result, QStringLiteral("unknown option '--bogus'")), qPrintable(result.err));
    result = runBatch({QStringLiteral("--fromat"), QStringLiteral("md"), writeList("x")});
    QVERIFY2(isUsageError(result, QStringLiteral("unknown option '--fromat'. Did you mean '--format'?")),
             qPrintable(result.err));

    result = runBatch({QStringLiteral("--folder"), out.path(), m_dir.filePath(QStringLiteral("nope.txt"))});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(QStringLiteral("File not found")));

    result = runBatch({QStringLiteral("--folder"), out.path(), writeList("\r\n  \n")});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(QStringLiteral("No files added.")));

    // A folder that cannot be made is named with the system's reason.
    const QString file = writeList("http://x/");
    result = runBatch({QStringLiteral("--folder"), file + QStringLiteral("/sub"), file});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QStringLiteral("textorin-batch: cannot create folder %1/sub: Not a directory\n").arg(file));
}

void TestBatchFrontEnd::helpExplainsTheOptions()
{
    const Result result = runBatch({QStringLiteral("--help")});
    QCOMPARE(result.exitCode, 0);
    for (const char *word : {"--folder", "LISTFILE", "standard input", "Exit status"})
        QVERIFY2(result.out.contains(QLatin1String(word)), word);
}

void TestBatchFrontEnd::bothProgramsPrintTheirVersion()
{
    const Result batch = runBatch({QStringLiteral("--version")});
    QCOMPARE(batch.exitCode, 0);
    QCOMPARE(batch.out, QStringLiteral("textorin-batch " TEXTORIN_VERSION "\n"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                .match(QStringLiteral(TEXTORIN_VERSION))
                .hasMatch());

    // The window program answers before it needs a display: no platform plug-in loads.
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("nonexistent"));
    window.setProcessEnvironment(environment);
    window.start(QStringLiteral(TEXTORIN_APP_PATH), {QStringLiteral("--version")});
    QVERIFY(window.waitForFinished(30000));
    QCOMPARE(window.exitStatus(), QProcess::NormalExit);
    QCOMPARE(window.exitCode(), 0);
    QCOMPARE(window.readAllStandardOutput(), QByteArray("textorin " TEXTORIN_VERSION "\n"));
}

void TestBatchFrontEnd::addressesComeFirstAndMissingFoldersAreMade()
{
    QTemporaryDir out;
    const QString folder = out.filePath(QStringLiteral("new/deeper"));
    const Result result = runBatch({QStringLiteral("-u"), m_server.url("/one"), QStringLiteral("--folder"), folder,
                                    writeList(m_server.url("/two").toUtf8()), QStringLiteral("--url"),
                                    m_server.url("/width")});
    QCOMPARE(result.exitCode, 0);
    static const QRegularExpression saved(QStringLiteral("^\\[(\\d+)/\\S+\\] saved (\\S+) -> "),
                                          QRegularExpression::MultilineOption);
    // Rows are printed as they finish, each with its row number.
    QMap<int, QString> rows;
    for (auto match = saved.globalMatch(result.out); match.hasNext();) {
        const auto row = match.next();
        rows.insert(row.captured(1).toInt(), row.captured(2));
    }
    QCOMPARE(rows.values(), (QStringList{m_server.url("/one"), m_server.url("/width"), m_server.url("/two")}));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
}

void TestBatchFrontEnd::quietPrintsOnlyFailuresWithTheirReasons()
{
    QTemporaryDir out;
    const Result result = runBatch({QStringLiteral("-q"), QStringLiteral("--folder"), out.path(), QStringLiteral("-u"),
                                    m_server.url("/one"), QStringLiteral("-u"), m_server.url("/missing")});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QStringLiteral("[2/2] FAILED %1 (HTTP error 404 Not Found)\nSaved 1, failed 1, skipped 0. "
                                        "Folder: %2\n").arg(m_server.url("/missing"), out.path()));
    QVERIFY2(!result.err.contains(QStringLiteral("Application Error")), qPrintable(result.err));
}

void TestBatchFrontEnd::optionsShapeTheLoadAndBadValuesAreRefused()
{
    QTemporaryDir out;
    const QString list = writeList((m_server.url("/width") + "\n" + m_server.url("/image")).toUtf8());
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--timeout"),
                                    QStringLiteral("1.5"), QStringLiteral("--settle"), QStringLiteral("0"),
                                    QStringLiteral("--window-size"), QStringLiteral("1024x700"), list});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1 %1_width.txt").arg(m_server.port()))),
             QByteArray("1024x700"));
    QVERIFY2(result.out.contains(QStringLiteral("_image.txt (load incomplete)\n")), qPrintable(result.out));

    for (const QStringList &bad : {QStringList{QStringLiteral("--timeout"), QStringLiteral("soon")},
                                   QStringList{QStringLiteral("--timeout"), QStringLiteral("0")},
                                   QStringList{QStringLiteral("--settle"), QStringLiteral("-1")},
                                   QStringList{QStringLiteral("--window-size"), QStringLiteral("1280")},
                                   QStringList{QStringLiteral("--max-page-memory"), QStringLiteral("99")}}) {
        const Result refused = runBatch(bad + QStringList{list});
        QVERIFY2(isUsageError(refused, bad.first()), qPrintable(refused.err));
    }
}

void TestBatchFrontEnd::missingEngineIsOneClearError()
{
    QTemporaryDir out;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("TEXTORIN_CHROMIUM"), QStringLiteral("/nonexistent/chromium"));
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), writeList("http://a/\nhttp://b/")},
                                   {}, environment);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err.count(QStringLiteral("package \"chromium-headless-shell\"")), 1);
}

void TestBatchFrontEnd::terminationEndsTheEngineAndItsProfile()
{
    QTemporaryDir out;
    QTemporaryDir temp(QStringLiteral("/tmp/tb-XXXXXX"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TEXTORIN_BATCH_PATH),
                  {QStringLiteral("--folder"), out.path(), writeList(m_server.url("/never").toUtf8())});
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/never")) > 0, 20000);
    const QList<int> engine = ChildProcesses::descendants(int(process.processId()));
    QVERIFY2(engine.size() > 2, qPrintable(QString::number(engine.size())));
    process.terminate();
    QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 10000);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 143);
    QCOMPARE(process.readAllStandardOutput(),
             "Stopped by signal.\nSaved 0, failed 0, skipped 0. Folder: " + out.path().toUtf8() + '\n');
    const auto alive = [&] {
        int count = 0;
        for (int pid : engine)
            count += QFile::exists(QStringLiteral("/proc/%1").arg(pid));
        return count;
    };
    QTRY_COMPARE_WITH_TIMEOUT(alive(), 0, 5000);
    QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    // Nothing of the engine lands in the user's own browser folders.
    QVERIFY(!QFile::exists(m_config.filePath(QStringLiteral("chromium"))));
}

void TestBatchFrontEnd::killedRunsProfileGoesWithTheNextRun()
{
    QTemporaryDir out;
    QTemporaryDir temp(QStringLiteral("/tmp/tb-XXXXXX"));
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    QProcessEnvironment killedEnvironment = QProcessEnvironment::systemEnvironment();
    killedEnvironment.insert(environment);
    killedEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    QProcess killed;
    killed.setProcessEnvironment(killedEnvironment);
    killed.start(QStringLiteral(TEXTORIN_BATCH_PATH),
                 {QStringLiteral("--folder"), out.path(), writeList(m_server.url("/never").toUtf8())});
    const int hits = m_server.hits(QStringLiteral("/never"));
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/never")) > hits, 20000);
    const QList<int> engine = ChildProcesses::descendants(int(killed.processId()));
    const QStringList profiles = QDir(temp.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(profiles.size(), 1);
    killed.kill();
    QVERIFY(killed.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(std::none_of(engine.cbegin(), engine.cend(), ChildProcesses::isAlive), 5000);
    QVERIFY(QFileInfo::exists(temp.filePath(profiles.constFirst())));

    const Result next = runBatch({QStringLiteral("--folder"), out.path(),
                                  writeList(m_server.url("/one").toUtf8())}, {}, environment);
    QCOMPARE(next.exitCode, 0);
    QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void TestBatchFrontEnd::terminationEndsTheReadingOfAnEndlessList()
{
    QTemporaryDir out;
    QProcess process;
    process.start(QStringLiteral(TEXTORIN_BATCH_PATH),
                  {QStringLiteral("--folder"), out.path(), QStringLiteral("/dev/zero")});
    QVERIFY(process.waitForStarted());
    const auto readBytes = [&] {
        QFile io(QStringLiteral("/proc/%1/io").arg(process.processId()));
        if (!io.open(QIODevice::ReadOnly))
            return qint64(0);
        const QByteArray text = io.readAll();
        const qsizetype at = text.indexOf("rchar: ");
        return at < 0 ? 0 : text.mid(at + 7, text.indexOf('\n', at) - at - 7).toLongLong();
    };
    QTRY_VERIFY_WITH_TIMEOUT(readBytes() > 256 * 1024 * 1024, 20000);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 143);
}

void TestBatchFrontEnd::runsWithStandardDescriptorsClosed()
{
    QTemporaryDir out;
    Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("-")}, {}, {}, {0});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QStringLiteral("textorin-batch: No files added.\n"));

    result = runBatch({QStringLiteral("--folder"), out.path(), writeList(m_server.url("/one").toUtf8())},
                      {}, {}, {1, 2});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1 %1_one.txt").arg(m_server.port()))),
             QByteArray("one"));
}

void TestBatchFrontEnd::collidingNamesKeepEveryPage()
{
    QTemporaryDir out;
    m_server.page("/a/b", "<html><body>slash</body></html>");
    m_server.page("/a_b", "<html><body>underscore</body></html>");
    const QString base = QStringLiteral("127.0.0.1 %1_a_b").arg(m_server.port());
    const QString list = m_server.url("/a/b") + "\n" + m_server.url("/a_b") + "\n" + m_server.url("/a/b");
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--settle"),
                                    QStringLiteral("0"), writeList(list.toUtf8())});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(out.filePath(base + ".txt")), QByteArray("slash"));
    QCOMPARE(readTestFile(out.filePath(base + " (2).txt")), QByteArray("underscore"));
    QVERIFY2(result.out.contains(base + " (2).txt (numbered: an earlier row has the plain name)"),
             qPrintable(result.out));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 2);
}

void TestBatchFrontEnd::parallelRowsEndAsOneAtATime()
{
    // A slow failing row whose name later rows share: its number stays reserved,
    // and the row of its own address waits for it.
    LocalHttpServer::Reply slowGone;
    slowGone.status = 404;
    slowGone.delayMs = 2000;
    slowGone.body = "<html><body>gone</body></html>";
    m_server.route("/p/x_y", slowGone);
    m_server.page("/p/x/y", "<html><body>slash</body></html>");
    const QString list = QStringList{m_server.url("/p/x_y"), m_server.url("/one"), m_server.url("/p/x/y"),
                                     m_server.url("/two"), m_server.url("/p/x_y"), m_server.url("/width")}
                             .join(QLatin1Char('\n'));
    const QString listFile = writeList(list.toUtf8());
    QMap<QString, QByteArray> files[2];
    QMap<int, QString> outcomes[2];
    QString out[2];
    for (int run = 0; run < 2; ++run) {
        QTemporaryDir folder;
        const QString report = m_dir.filePath(QStringLiteral("jobs%1.jsonl").arg(run));
        const Result result = runBatch({QStringLiteral("--folder"), folder.path(), QStringLiteral("--settle"),
                                        QStringLiteral("0"), QStringLiteral("-j"), run ? QStringLiteral("4") : QStringLiteral("1"),
                                        QStringLiteral("--report"), report, listFile});
        QCOMPARE(result.exitCode, 1);
        out[run] = result.out;
        for (const QString &name : QDir(folder.path()).entryList(QDir::Files))
            files[run].insert(name, readTestFile(folder.filePath(name)));
        for (const QByteArray &line : readTestFile(report).split('\n')) {
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            if (!row.isEmpty())
                outcomes[run].insert(row.value(QStringLiteral("row")).toInt(),
                                     row.value(QStringLiteral("outcome")).toString() + QLatin1Char(' ')
                                         + row.value(QStringLiteral("file")).toString());
        }
    }
    QCOMPARE(files[1], files[0]);
    QCOMPARE(outcomes[1], outcomes[0]);
    QCOMPARE(outcomes[0].size(), 6);
    QVERIFY(files[0].contains(QStringLiteral("127.0.0.1 %1_p_x_y (2).txt").arg(m_server.port())));
    // One at a time the rows end in list order; four at a time the slow first row ends later.
    QVERIFY2(out[0].startsWith(QStringLiteral("[1/6] FAILED")), qPrintable(out[0]));
    QVERIFY2(out[1].indexOf(QStringLiteral("[1/6] FAILED")) > out[1].indexOf(QStringLiteral("[2/6] saved")),
             qPrintable(out[1]));
}

void TestBatchFrontEnd::busyServersAreTriedAgain()
{
    QTemporaryDir out;
    LocalHttpServer::Reply busy;
    busy.failFirst = 1;
    busy.body = "<html><body>in the end</body></html>";
    m_server.route("/busy-once", busy);
    m_server.route("/busy-again", busy);
    Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("-u"),
                              m_server.url("/busy-once")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("(HTTP error 503 Service Unavailable)")), qPrintable(result.out));
    result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--tries"), QStringLiteral("2"),
                       QStringLiteral("-u"), m_server.url("/busy-again")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(m_server.hits(QStringLiteral("/busy-again")), 2);
    QCOMPARE(runBatch({QStringLiteral("--tries"), QStringLiteral("0"), QStringLiteral("-u"), QStringLiteral("x")}).exitCode, 2);
}

void TestBatchFrontEnd::pageOverTheMemoryCapFailsAlone()
{
    // Fills 64-MiB buffers in a loop until its renderer is killed.
    m_server.page("/hog", "<html><body><p>hog</p><script>const kept = []; for (;;) {"
                          " const block = new Uint8Array(64 << 20); block.fill(kept.length % 250 + 1);"
                          " kept.push(block); }</script></body></html>");
    QTemporaryDir out;
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("-j"),
                                    QStringLiteral("2"), QStringLiteral("--max-page-memory"),
                                    QStringLiteral("300"), QStringLiteral("-u"), m_server.url("/one"),
                                    QStringLiteral("-u"), m_server.url("/hog"), QStringLiteral("-u"),
                                    m_server.url("/two")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("[2/3] FAILED %1 (page used too much memory)\n")
                                     .arg(m_server.url("/hog"))),
             qPrintable(result.out));
    const QString prefix = QStringLiteral("127.0.0.1 %1_").arg(m_server.port());
    QCOMPARE(readTestFile(out.filePath(prefix + QStringLiteral("one.txt"))), QByteArray("one"));
    QCOMPARE(readTestFile(out.filePath(prefix + QStringLiteral("two.txt"))), QByteArray("two ✓"));
}

void TestBatchFrontEnd::archiveAndNoClobberSkipWhatIsSaved()
{
    QTemporaryDir out;
    m_server.page("/x/y", "<html><body>x y</body></html>");
    m_server.page("/x_y", "<html><body>x underscore y</body></html>");
    const QString archive = out.filePath(QStringLiteral("done.tsv"));
    const QString base = QStringLiteral("127.0.0.1 %1_x_y").arg(m_server.port());
    // A first run saved only the first row before it was stopped.
    Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--archive"), archive,
                              QStringLiteral("-u"), m_server.url("/x/y")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(archive),
             ("# textorin archive 2\n" + m_server.url("/x/y") + "\t" + base + ".txt\n").toUtf8());
    // The resumed run skips it and numbers the colliding row as the whole run would have.
    const QString list = writeList((m_server.url("/x/y") + "\n" + m_server.url("/x_y")).toUtf8());
    result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--archive"), archive, list});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("skipped %1 (in the archive)").arg(m_server.url("/x/y"))),
             qPrintable(result.out));
    QVERIFY(result.out.contains(QStringLiteral("Saved 1, failed 0, skipped 1.")));
    QCOMPARE(readTestFile(out.filePath(base + " (2).txt")), QByteArray("x underscore y"));
    QCOMPARE(m_server.hits(QStringLiteral("/x/y")), 1);

    // --no-clobber: the file exists, the row is not loaded again.
    result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--no-clobber"), QStringLiteral("-u"),
                       m_server.url("/x/y")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.contains(QStringLiteral("(exists)")));
    QCOMPARE(m_server.hits(QStringLiteral("/x/y")), 1);
}

void TestBatchFrontEnd::reportHasOneObjectPerRow()
{
    QTemporaryDir out;
    const QString list = writeList((m_server.url("/one") + "\n" + m_server.url("/missing")).toUtf8());
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--report"),
                                    QStringLiteral("-"), list});
    QCOMPARE(result.exitCode, 1);
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList keys{"address", "bytes", "content_type", "file", "http_status", "ms", "outcome", "reason", "row", "tries"};
    QJsonObject saved = QJsonDocument::fromJson(lines.at(0).toUtf8()).object();
    QJsonObject failed = QJsonDocument::fromJson(lines.at(1).toUtf8()).object();
    if (saved.value(QStringLiteral("row")).toInt() == 2)
        std::swap(saved, failed);
    QCOMPARE(saved.keys(), keys);
    QCOMPARE(failed.keys(), keys);
    QCOMPARE(saved.value(QStringLiteral("outcome")).toString(), QStringLiteral("saved"));
    QCOMPARE(saved.value(QStringLiteral("bytes")).toInt(), 3);
    QCOMPARE(saved.value(QStringLiteral("http_status")).toInt(), 200);
    QCOMPARE(saved.value(QStringLiteral("content_type")).toString(), QStringLiteral("text/html"));
    QCOMPARE(failed.value(QStringLiteral("row")).toInt(), 2);
    QCOMPARE(failed.value(QStringLiteral("http_status")).toInt(), 404);
    QCOMPARE(failed.value(QStringLiteral("reason")).toString(), QStringLiteral("HTTP error 404 Not Found"));
    QCOMPARE(failed.value(QStringLiteral("tries")).toInt(), 1);
    // The row lines and the summary go to standard error instead.
    QVERIFY(result.err.contains(QStringLiteral("Saved 1, failed 1, skipped 0.")));
}

void TestBatchFrontEnd::neverWritesThroughALink()
{
    QTemporaryDir out;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("precious"));
    QVERIFY(writeTestFile(target, "keep me"));
    const QString link = out.filePath(QStringLiteral("127.0.0.1 %1_one.txt").arg(m_server.port()));
    QVERIFY(QFile::link(target, link));
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("-u"), m_server.url("/one")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("is a symbolic link")), qPrintable(result.out));
    QCOMPARE(readTestFile(target), QByteArray("keep me"));
    QVERIFY(QFileInfo(link).isSymLink());
}

void TestBatchFrontEnd::shardsSplitTheListWithoutOverlapOrGap()
{
    QSet<QString> seen;
    for (int i = 0; i < 1000; ++i) {
        const QString name = QStringLiteral("host.example_page-%1.txt").arg(i);
        const int shard = BatchRun::shardOf(name, 3);
        QVERIFY(shard >= 1 && shard <= 3);
        QCOMPARE(BatchRun::shardOf(name, 3), shard);
        seen.insert(QString::number(shard));
    }
    QCOMPARE(seen.size(), 3);

    QByteArray list;
    for (int i = 0; i < 8; ++i) {
        m_server.page(QStringLiteral("/s_%1").arg(i), "<html><body>page</body></html>");
        list += m_server.url(QStringLiteral("/s_%1").arg(i)).toUtf8() + '\n';
    }
    m_server.page("/s/0", "<html><body>slash</body></html>");
    list += m_server.url("/s/0").toUtf8() + '\n'; // the same name as row 1
    const QString listFile = writeList(list);
    QTemporaryDir first;
    QTemporaryDir second;
    runBatch({QStringLiteral("--folder"), first.path(), QStringLiteral("--shard"), QStringLiteral("1/2"), listFile});
    runBatch({QStringLiteral("--folder"), second.path(), QStringLiteral("--shard"), QStringLiteral("2/2"), listFile});
    const QStringList one = QDir(first.path()).entryList(QDir::Files);
    const QStringList two = QDir(second.path()).entryList(QDir::Files);
    QCOMPARE(one.size() + two.size(), 9 - 1 + 1);
    for (const QString &name : one)
        QVERIFY2(!two.contains(name), qPrintable(name));
    // The colliding rows stay together and are numbered as in the whole run.
    const QString numbered = QStringLiteral("127.0.0.1 %1_s_0 (2).txt").arg(m_server.port());
    QVERIFY(one.contains(numbered) != two.contains(numbered));
    QCOMPARE(runBatch({QStringLiteral("--shard"), QStringLiteral("3/2"), QStringLiteral("-u"), QStringLiteral("x")}).exitCode, 2);
}

void TestBatchFrontEnd::formatsKeepTheArticleAndItsStructure()
{
    const QByteArray paragraph = "words that make this paragraph long enough to be part of a real article. ";
    m_server.page("/docs/story", "<html lang=en><head><title>Story</title></head><body>"
                  "<nav><a href=/>Home menu</a></nav><aside>Sidebar box</aside><article><h1>Story</h1>"
                  "<p>First " + paragraph.repeated(3) + "<a href=rel.html>a relative link</a>.</p>"
                  "<p>Second " + paragraph.repeated(3) + "</p><h2>Part two</h2>"
                  "<ul><li>outer<ul><li>inner</li></ul></li></ul>"
                  "<table><tr><th>Key</th><th>Value</th></tr><tr><td>k</td><td>v</td></tr></table>"
                  "<pre><code>x = 1;\ny = 2;</code></pre><p>Third " + paragraph.repeated(3) + "</p></article>"
                  "<footer>Footer line</footer><p onclick=alert(1)><a href='javascript:alert(2)'>js</a></p>"
                  "<script>document.title = 'Story';</script></body></html>");
    LocalHttpServer::Reply moved;
    moved.status = 302;
    moved.location = "/docs/story";
    m_server.route("/moved-story", moved);
    m_server.page("/bare", "<html><body><p>just a line</p></body></html>");
    for (const char *manual : {"/usr/share/doc/ninja-build/manual.html",
                               "/usr/share/doc/base-passwd/users-and-groups.html"})
        m_server.page("/manual/" + QFileInfo(QString::fromLatin1(manual)).fileName().toUtf8(),
                      readTestFile(QString::fromLatin1(manual)));
    const QString story = m_server.url("/docs/story");
    const QString name = QStringLiteral("127.0.0.1 %1_docs_story").arg(m_server.port());
    const auto run = [&](const QStringList &options, const QStringList &urls, const QString &report = {}) {
        auto folder = std::make_shared<QTemporaryDir>();
        QStringList arguments{QStringLiteral("--folder"), folder->path(), QStringLiteral("--settle"), QStringLiteral("0")};
        arguments << options;
        if (!report.isEmpty())
            arguments << QStringLiteral("--report") << report;
        for (const QString &url : urls)
            arguments << QStringLiteral("-u") << url;
        const Result result = runBatch(arguments);
        return std::make_pair(result, folder);
    };

    // The article alone: every paragraph, none of the page around it.
    auto [result, folder] = run({QStringLiteral("--main-content")}, {story, m_server.url("/bare")},
                                m_dir.filePath(QStringLiteral("formats.jsonl")));
    QCOMPARE(result.exitCode, 0);
    const QString article = QString::fromUtf8(readTestFile(folder->filePath(name + ".txt")));
    QVERIFY2(article.startsWith(QStringLiteral("Story\n\nFirst ")), qPrintable(article));
    for (const char *kept : {"\n\nSecond ", "\n\nPart two\n\n", "\n\nThird "})
        QVERIFY2(article.contains(QLatin1String(kept)), qPrintable(article));
    for (const char *left : {"Home menu", "Sidebar box", "Footer line"})
        QVERIFY2(!article.contains(QLatin1String(left)), qPrintable(article));
    // No article: the whole body, and the report says so.
    QCOMPARE(readTestFile(folder->filePath(QStringLiteral("127.0.0.1 %1_bare.txt").arg(m_server.port()))),
             QByteArray("just a line"));
    const QByteArray report = readTestFile(m_dir.filePath(QStringLiteral("formats.jsonl")));
    QCOMPARE(report.count("\"fallback\":true"), 1);
    QCOMPARE(report.count("\"fallback\":false"), 1);

    // Markdown keeps the structure, with absolute links.
    std::tie(result, folder) = run({QStringLiteral("--main-content"), QStringLiteral("--format"), QStringLiteral("markdown")}, {story});
    const QString markdown = QString::fromUtf8(readTestFile(folder->filePath(name + ".md")));
    for (const QString &kept : {QStringLiteral("# Story\n"), QStringLiteral("\n## Part two\n"),
                                QStringLiteral("-   outer\n    -   inner"), QStringLiteral("| Key | Value |\n| --- | --- |\n| k | v |"),
                                QStringLiteral("```\nx = 1;\ny = 2;\n```"),
                                QStringLiteral("[a relative link](%1)").arg(m_server.url("/docs/rel.html"))})
        QVERIFY2(markdown.contains(kept), qPrintable(markdown));

    // HTML to keep: no scripts, handlers or javascript: links; links absolute.
    std::tie(result, folder) = run({QStringLiteral("--format"), QStringLiteral("html")}, {story});
    const QString html = QString::fromUtf8(readTestFile(folder->filePath(name + ".html")));
    QVERIFY2(html.startsWith(QStringLiteral("<!DOCTYPE html>")) && html.contains(QStringLiteral("Footer line")), qPrintable(html));
    for (const char *gone : {"<script", "onclick", "javascript:", "href=\"rel.html\""})
        QVERIFY2(!html.contains(QLatin1String(gone)), qPrintable(html));

    // A JSON record, after a redirect.
    std::tie(result, folder) = run({QStringLiteral("--format"), QStringLiteral("json")}, {m_server.url("/moved-story")});
    const QJsonObject record = QJsonDocument::fromJson(readTestFile(
        folder->filePath(QStringLiteral("127.0.0.1 %1_moved-story.json").arg(m_server.port())))).object();
    QCOMPARE(record.keys(), (QStringList{"content_type", "fetched", "final_url", "http_status", "lang", "text", "title", "url"}));
    QCOMPARE(record.value(QStringLiteral("url")).toString(), m_server.url("/moved-story"));
    QCOMPARE(record.value(QStringLiteral("final_url")).toString(), story);
    QCOMPARE(record.value(QStringLiteral("lang")).toString(), QStringLiteral("en"));
    QCOMPARE(record.value(QStringLiteral("http_status")).toInt(), 200);
    QVERIFY(QDateTime::fromString(record.value(QStringLiteral("fetched")).toString(), Qt::ISODateWithMs).isValid());
    QVERIFY(record.value(QStringLiteral("text")).toString().contains(QStringLiteral("Home menu")));

    // Text is today's file, byte for byte.
    std::tie(result, folder) = run({}, {story});
    const QByteArray plain = readTestFile(folder->filePath(name + ".txt"));
    std::tie(result, folder) = run({QStringLiteral("--format"), QStringLiteral("text")}, {story});
    QCOMPARE(readTestFile(folder->filePath(name + ".txt")), plain);

    // Manuals nobody here wrote keep their title and headings.
    std::tie(result, folder) = run({QStringLiteral("--main-content"), QStringLiteral("--format"), QStringLiteral("markdown")},
                                   {m_server.url("/manual/manual.html"), m_server.url("/manual/users-and-groups.html")});
    QCOMPARE(result.exitCode, 0);
    const QString ninja = QString::fromUtf8(readTestFile(folder->filePath(
        QStringLiteral("127.0.0.1 %1_manual_manual.html.md").arg(m_server.port()))));
    QVERIFY2(ninja.startsWith(QStringLiteral("# The Ninja build system")) && ninja.contains(QStringLiteral("\n## ")),
             qPrintable(ninja.left(500)));
    const QString groups = QString::fromUtf8(readTestFile(folder->filePath(
        QStringLiteral("127.0.0.1 %1_manual_users-and-groups.html.md").arg(m_server.port()))));
    QVERIFY2(groups.startsWith(QStringLiteral("# Users and Groups in the Debian System")), qPrintable(groups.left(500)));
}

void TestBatchFrontEnd::documentationFaultsConvertAndKeepTheArticle()
{
    const QByteArray paragraph = "words that make this paragraph long enough to be part of a real manual page. ";
    const QByteArray menu = "<nav><a href=/a>Menu one</a> <a href=/b>Menu two</a> <a href=/c>Menu three</a></nav>";
    // Each page: what its markdown must hold and must not.
    const struct {
        const char *path;
        QByteArray body;
        QStringList kept;
        QStringList left;
    } pages[] = {
        {"/empty-table", "<p>Before the tables.</p><table>\n   \n</table><table><thead></thead></table><p>After them.</p>",
         {QStringLiteral("Before the tables.\n\nAfter them.")}, {QStringLiteral("<table")}},
        {"/sphinx-code", "<div class=\"highlight-python notranslate\"><div class=highlight><pre><span></span>"
                         "<span class=n>field_name</span> = <span class=mi>1</span>\n<span class=k>print</span>(field_name)\n</pre></div></div>",
         {QStringLiteral("```python\nfield_name = 1\nprint(field_name)\n```")}, {QStringLiteral("field\\_name")}},
        {"/mdbook-code", "<pre><code class=\"language-rust\">fn main() {\n    println!(\"hi\");\n}</code></pre>"
                         "<pre class=screen>$ make\n$ make install</pre><script>for (const pre of document.querySelectorAll('pre'))"
                         " pre.insertAdjacentHTML('afterbegin', '<div class=buttons><button title=Copy>Copy</button></div>');</script>",
         {QStringLiteral("```rust\nfn main() {\n    println!(\"hi\");\n}\n```"), QStringLiteral("```\n$ make\n$ make install\n```")},
         {QStringLiteral("Copy")}},
        {"/permalinks", "<h2>Usage<a class=headerlink href=#usage title='Permalink to this heading'>\u00b6</a></h2><p>Use it.</p>"
                        "<h3 id=x><a href=#x class=anchor>\u00a7</a>Method <code>run</code></h3><p>Runs.</p>",
         {QStringLiteral("## Usage\n\nUse it."), QStringLiteral("### Method run\n\nRuns.")},
         {QStringLiteral("\u00b6"), QStringLiteral("\u00a7")}},
        {"/headerless-table", "<table><tr><td>Name</td><td>Value</td></tr><tr><td>a|b</td><td>1</td></tr></table>"
                              "<table class=memberdecls><tr class=heading><td colspan=2><h2>Public Types</h2></td></tr>"
                              "<tr><td>typedef int</td><td><a href=#i>Index</a></td></tr></table>",
         {QStringLiteral("| Name | Value |\n| --- | --- |\n| a\\|b | 1 |"), QStringLiteral("## Public Types\n\n-   typedef int [Index]")},
         {QStringLiteral("<t")}},
        // A script leaves text in a header row, which the converter cannot take.
        {"/broken-table", "<p>Kept paragraph.</p><table><tr><th>Key</th><th>Value</th></tr><tr><td>k</td><td>v</td></tr></table>"
                          "<script>document.querySelector('th').after('stray')</script>",
         {QStringLiteral("Kept paragraph."), QStringLiteral("Key"), QStringLiteral("stray")}, {}},
    };
    QStringList urls;
    for (const auto &page : pages) {
        m_server.page(page.path, "<html><head><title>Doc</title></head><body>" + page.body + "</body></html>");
        urls << QStringLiteral("-u") << m_server.url(QString::fromLatin1(page.path));
    }
    QTemporaryDir folder;
    const QString report = m_dir.filePath(QStringLiteral("documentation.jsonl"));
    Result result = runBatch(QStringList{QStringLiteral("--folder"), folder.path(), QStringLiteral("--settle"),
                                         QStringLiteral("0"), QStringLiteral("--format"), QStringLiteral("markdown"),
                                         QStringLiteral("--report"), report} + urls);
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = readTestFile(report).trimmed().split('\n');
    QCOMPARE(lines.size(), qsizetype(std::size(pages)));
    for (const QByteArray &line : lines) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        const bool broken = row.value(QStringLiteral("address")).toString().endsWith(QStringLiteral("/broken-table"));
        QVERIFY2(row.contains(QStringLiteral("format_fallback")), line.constData());
        QCOMPARE(row.value(QStringLiteral("format_fallback")).toString().contains(QStringLiteral("TypeError")), broken);
    }
    for (const auto &page : pages) {
        const QString markdown = QString::fromUtf8(readTestFile(folder.filePath(
            QStringLiteral("127.0.0.1 %1_%2.md").arg(m_server.port()).arg(QString::fromLatin1(page.path + 1)))));
        for (const QString &kept : page.kept)
            QVERIFY2(markdown.contains(kept), qPrintable(QString::fromLatin1(page.path) + QStringLiteral(":\n") + markdown));
        for (const QString &left : page.left)
            QVERIFY2(!markdown.contains(left), qPrintable(QString::fromLatin1(page.path) + QStringLiteral(":\n") + markdown));
    }

    // The main content: the <main> of a page Readability finds no article in, and
    // all of a manual's content beside its header and table of contents.
    m_server.page("/main-only", "<html><body>" + menu + "<main><h1>tool</h1><h2>NAME</h2><p>tool - does one thing</p>"
                  "<table><tr><th>Option</th><th>Meaning</th></tr><tr><td>-v</td><td>verbose</td></tr></table></main>"
                  "<footer>Footer line</footer></body></html>");
    m_server.page("/manual", "<html><head><title>tool(1)</title></head><body><div id=header><h1>tool(1)</h1>"
                  "<div id=toc><a href=#name>NAME</a> <a href=#synopsis>SYNOPSIS</a> <a href=#options>OPTIONS</a></div></div>"
                  "<div id=content><div class=sect1><h2 id=name>NAME</h2><div class=sectionbody><p>tool - does one thing</p></div></div>"
                  "<div class=sect1><h2 id=synopsis>SYNOPSIS</h2><div class=sectionbody><p>" + paragraph.repeated(4) + "</p>"
                  "<p>" + paragraph.repeated(4) + "</p></div></div><div class=sect1><h2 id=options>OPTIONS</h2>"
                  "<div class=sectionbody><dl><dt>-v</dt><dd>verbose</dd></dl><table><tr><td>Exit</td><td>Meaning</td></tr>"
                  "<tr><td>0</td><td>success</td></tr></table><p>" + paragraph.repeated(4) + "</p></div></div></div>"
                  "<div id=footer>Last updated today</div></body></html>");
    result = runBatch({QStringLiteral("--folder"), folder.path(), QStringLiteral("--settle"), QStringLiteral("0"),
                       QStringLiteral("--main-content"), QStringLiteral("--report"), report,
                       QStringLiteral("-u"), m_server.url("/main-only"), QStringLiteral("-u"), m_server.url("/manual")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(report).count("\"fallback\":false"), 2);
    const QString main = QString::fromUtf8(readTestFile(folder.filePath(QStringLiteral("127.0.0.1 %1_main-only.txt").arg(m_server.port()))));
    const QString manual = QString::fromUtf8(readTestFile(folder.filePath(QStringLiteral("127.0.0.1 %1_manual.txt").arg(m_server.port()))));
    for (const char *kept : {"NAME\n\ntool - does one thing", "Option\tMeaning\n\n-v\tverbose"})
        QVERIFY2(main.contains(QLatin1String(kept)), qPrintable(main));
    for (const char *kept : {"NAME\n\ntool - does one thing", "\n\nSYNOPSIS\n\n", "\n\nOPTIONS\n\n-v\n\nverbose", "Exit\tMeaning\n\n0\tsuccess"})
        QVERIFY2(manual.contains(QLatin1String(kept)), qPrintable(manual));
    for (const QString &text : {main, manual}) {
        for (const char *left : {"Menu one", "Footer line", "Last updated", "NAME SYNOPSIS"})
            QVERIFY2(!text.contains(QLatin1String(left)), qPrintable(text));
    }
}

void TestBatchFrontEnd::cookiesFileSignsInAndIsSavedForTheNextRun()
{
    LocalHttpServer::Reply account;
    account.body = "<html><body><script>document.body.append(document.cookie.includes('sid=abc') ? "
                   "'signed in' : 'signed out')</script></body></html>";
    account.headers = "Set-Cookie: seen=1; Path=/; Max-Age=3600\r\n";
    m_server.route("/account", account);
    QTemporaryDir out;
    const QString cookies = out.filePath(QStringLiteral("in.txt"));
    writeTestFile(cookies, "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tabc\n"
                           "not a cookie\n");
    const QString saved = out.filePath(QStringLiteral("out.txt"));
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--cookies"), cookies,
                                    QStringLiteral("--save-cookies"), saved, QStringLiteral("-u"),
                                    m_server.url("/account")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.contains(QStringLiteral("in.txt: line 3")), qPrintable(result.err));
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1 %1_account.txt").arg(m_server.port()))),
             QByteArray("signed in"));
    const QByteArray written = readTestFile(saved);
    QVERIFY2(written.contains("\tsid\tabc\n") && written.contains("\tseen\t1\n"), written.constData());
}

void TestBatchFrontEnd::currentFolderByDefaultAndCommentsAreNoRows()
{
    const QString list = writeList(("# my pages\n  ; old ones\n" + m_server.url("/one") + "\n\n#"
                                    + m_server.url("/two") + "\n" + m_server.url("/two")).toUtf8());
    const Result result = runBatch({QStringLiteral("-i"), list, QStringLiteral("-u"), QStringLiteral("#not a comment")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("[1/3] FAILED #not a comment")), qPrintable(result.out));
    QVERIFY(result.out.contains(QStringLiteral("[3/3] saved %1 -> %2/").arg(m_server.url("/two"), m_current.path())));
    QVERIFY(result.out.endsWith(QStringLiteral("Saved 2, failed 1, skipped 1. Folder: %1\n").arg(m_current.path())));
    QCOMPARE(QDir(m_current.path()).entryList(QDir::Files).size(), 2);
}

void TestBatchFrontEnd::standardOutputKeepsListOrderAndEndsWhenClosed()
{
    LocalHttpServer::Reply slow;
    slow.body = "<html><body><p>slow</p></body></html>";
    slow.delayMs = 1500;
    m_server.route("/slow", slow);
    QTemporaryDir out;
    const QStringList rows{m_server.url("/slow"), m_server.url("/one"), m_server.url("/missing"), m_server.url("/two")};
    QStringList arguments{QStringLiteral("-O"), QStringLiteral("-"), QStringLiteral("-j"), QStringLiteral("4"),
                          QStringLiteral("--folder"), out.path()};
    for (const QString &row : rows)
        arguments << QStringLiteral("-u") << row;
    Result result = runBatch(arguments);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QStringLiteral("==> %1 <==\nslow\n\n==> %2 <==\none\n\n==> %3 <==\ntwo ✓\n")
                             .arg(rows.at(0), rows.at(1), rows.at(3)));
    QVERIFY2(result.err.contains(QStringLiteral("] saved %1\n").arg(rows.at(1))), qPrintable(result.err));
    QVERIFY(result.err.endsWith(QStringLiteral("Saved 3, failed 1, skipped 0.\n")));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
    // Without files no name is numbered, nor said to be.
    m_server.page("/c?a", "<html><body>c</body></html>");
    m_server.page("/c*a", "<html><body>c</body></html>");
    result = runBatch({QStringLiteral("-O"), QStringLiteral("-"), QStringLiteral("-u"), m_server.url("/c?a"),
                       QStringLiteral("-u"), m_server.url("/c*a")});
    QVERIFY2(result.err.endsWith(QStringLiteral("Saved 2, failed 0, skipped 0.\n"))
                 && !result.err.contains(QStringLiteral("numbered")), qPrintable(result.err));

    result = runBatch({QStringLiteral("--stdout"), QStringLiteral("--format"), QStringLiteral("json"),
                       QStringLiteral("-u"), rows.at(0), QStringLiteral("-u"), rows.at(1)});
    const QStringList lines = result.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(QJsonDocument::fromJson(lines.at(1).toUtf8()).object().value(QStringLiteral("text")).toString(),
             QStringLiteral("one"));
    QVERIFY(isUsageError(runBatch({QStringLiteral("-O"), QStringLiteral("-"), QStringLiteral("--report"),
                                   QStringLiteral("-"), rows.at(0)}), QStringLiteral("--report -")));

    // A reader that goes away ends the run at once, the engine with it, as SIGPIPE would.
    QTemporaryDir temp(QStringLiteral("/tmp/tb-XXXXXX"));
    QByteArray list = m_server.url("/one").toUtf8() + '\n';
    for (int i = 0; i < 8; ++i)
        list += m_server.url(QStringLiteral("/never?%1").arg(i)).toUtf8() + '\n';
    QProcess pipeline;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
    pipeline.setProcessEnvironment(environment);
    pipeline.start(QStringLiteral("bash"), {QStringLiteral("-c"),
                                            QStringLiteral("\"$0\" -O - -j 4 --timeout 60 \"$1\" 2>/dev/null | head -1; "
                                                           "echo \"${PIPESTATUS[0]}\""),
                                            QStringLiteral(TEXTORIN_BATCH_PATH), writeList(list)});
    QElapsedTimer timer;
    timer.start();
    while (pipeline.state() != QProcess::NotRunning && timer.elapsed() < 60000)
        QTest::qWait(20);
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(pipeline.readAllStandardOutput(), "==> " + m_server.url("/one").toUtf8() + " <==\n141\n");
    QTRY_COMPARE_WITH_TIMEOUT(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                              QStringList(), 5000);
}

void TestBatchFrontEnd::configurationFileGivesOptionsFirst()
{
    QTemporaryDir out;
    const QString config = m_config.filePath(QStringLiteral("textorin/batch.conf"));
    QVERIFY(QDir().mkpath(QFileInfo(config).path()));
    QVERIFY(writeTestFile(config, "# defaults\n--folder " + out.path().toUtf8() + "\n--format=md\n--settle 0\n"));
    Result result = runBatch({QStringLiteral("--format"), QStringLiteral("html"), QStringLiteral("-u"), m_server.url("/one")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files),
             QStringList{QStringLiteral("127.0.0.1 %1_one.html").arg(m_server.port())});

    QVERIFY(writeTestFile(config, "--settle 0\n--jobs many\n"));
    result = runBatch({QStringLiteral("-u"), m_server.url("/one")});
    QVERIFY2(isUsageError(result, config + QStringLiteral(":2: --jobs wants a whole number")), qPrintable(result.err));
    result = runBatch({QStringLiteral("--no-config"), QStringLiteral("--folder"), out.path(), QStringLiteral("-u"),
                       m_server.url("/two")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(QFile::remove(config));
}

void TestBatchFrontEnd::nameTemplateMakesFoldersAndStaysInside()
{
    QTemporaryDir out;
    m_server.page("/dir/deep/", "<html><body>deep</body></html>");
    m_server.page("/one?x", "<html><body>one x</body></html>");
    const QString host = QStringLiteral("127.0.0.1");
    const QString list = m_server.url("/one") + "\n" + m_server.url("/dir/deep/") + "\n"
        + m_server.url("/dir/%2e%2e/%2e%2e/escaped") + "\n" + m_server.url("/one?x");
    const QString report = out.filePath(QStringLiteral("report.jsonl"));
    Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("-o"), QStringLiteral("{host}/{path}"),
                              QStringLiteral("--archive"), out.filePath(QStringLiteral("done.tsv")),
                              QStringLiteral("--report"), report, writeList(list.toUtf8())});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(readTestFile(out.filePath(host + QStringLiteral("/one.txt"))), QByteArray("one"));
    QCOMPARE(readTestFile(out.filePath(host + QStringLiteral("/dir/deep/index.txt"))), QByteArray("deep"));
    // The same path with a query is numbered beside it.
    QCOMPARE(readTestFile(out.filePath(host + QStringLiteral("/one (2).txt"))), QByteArray("one x"));
    QVERIFY2(result.out.contains(QStringLiteral("FAILED %1 (the name template gives a \"..\" folder)")
                                     .arg(m_server.url("/dir/%2e%2e/%2e%2e/escaped"))),
             qPrintable(result.out));
    QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("escaped.txt"))));
    QVERIFY(readTestFile(out.filePath(QStringLiteral("done.tsv"))).contains("\t127.0.0.1/dir/deep/index.txt\n"));
    QVERIFY(readTestFile(report).contains("\"file\":\"127.0.0.1/one.txt\""));

    // A folder of the name that is a link elsewhere is never gone through.
    QTemporaryDir linked;
    QTemporaryDir elsewhere;
    QVERIFY(QFile::link(elsewhere.path(), linked.filePath(host)));
    result = runBatch({QStringLiteral("--folder"), linked.path(), QStringLiteral("-o"), QStringLiteral("{host}/{path}"),
                       QStringLiteral("-u"), m_server.url("/one")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("symbolic link")), qPrintable(result.out));
    QVERIFY(QDir(elsewhere.path()).isEmpty());

    result = runBatch({QStringLiteral("-o"), QStringLiteral("../{host}"), QStringLiteral("-u"), m_server.url("/one")});
    QVERIFY2(isUsageError(result, QStringLiteral("--output must not hold")), qPrintable(result.err));
}

namespace {

QByteArray gzipped(const QByteArray &data)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-c")});
    gzip.write(data);
    gzip.closeWriteChannel();
    gzip.waitForFinished();
    return gzip.readAllStandardOutput();
}

QByteArray urlSet(const QStringList &addresses)
{
    QByteArray xml = "<?xml version=\"1.0\"?><urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\" "
                     "xmlns:image=\"http://www.google.com/schemas/sitemap-image/1.1\">";
    for (const QString &address : addresses)
        xml += "<url><loc> " + address.toUtf8() + " </loc><image:image><image:loc>http://img/</image:loc>"
               "</image:image></url>";
    return xml + "</urlset>";
}

} // namespace

void TestBatchFrontEnd::sitemapIndexesAndFeedsGiveTheRows()
{
    QTemporaryDir out;
    LocalHttpServer::Reply child;
    child.contentType = "application/gzip";
    child.body = gzipped(urlSet({m_server.url("/one"), QStringLiteral("file:///etc/passwd")}));
    m_server.route("/maps/child.xml.gz", child);
    LocalHttpServer::Reply xml;
    xml.contentType = "application/xml";
    xml.body = urlSet({m_server.url("/two")});
    m_server.route("/maps/plain.xml", xml);
    xml.body = "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">"
               "<sitemap><loc>child.xml.gz</loc></sitemap><sitemap><loc>" + m_server.url("/maps/plain.xml").toUtf8()
             + "</loc></sitemap></sitemapindex>";
    m_server.route("/maps/index.xml", xml);
    xml.contentType = "application/rss+xml";
    xml.body = "<rss version=\"2.0\"><channel><link>/nope</link><item><title>t</title><link>/width</link></item>"
               "</channel></rss>";
    m_server.route("/feed", xml);

    Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--feed"), m_server.url("/feed"),
                              QStringLiteral("--sitemap"), m_server.url("/maps/index.xml")});
    QCOMPARE(result.exitCode, 1);
    // Rows in the order given, then of the index; a sitemap of the web names no local file.
    const QStringList rows{QStringLiteral("1/%1] saved ") + m_server.url("/width"),
                           QStringLiteral("2/%1] saved ") + m_server.url("/one"),
                           QStringLiteral("3/%1] FAILED file:///etc/passwd (not an http or https address"),
                           QStringLiteral("4/%1] saved ") + m_server.url("/two")};
    for (const QString &row : rows) {
        QVERIFY2(result.out.contains(row.arg(QLatin1Char('?'))) || result.out.contains(row.arg(4)),
                 qPrintable(result.out));
    }
    QCOMPARE(m_server.hits(QStringLiteral("/maps/child.xml.gz")), 1);

    // A sitemap that cannot be read is one error naming it.
    result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--sitemap"), m_server.url("/missing-map")});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QStringLiteral("textorin-batch: cannot read sitemap %1: HTTP error 404 Not Found\n")
                             .arg(m_server.url("/missing-map")));
}

void TestBatchFrontEnd::robotsTxtSkipsRowsAndSlowsTheHost()
{
    QTemporaryDir out;
    LocalHttpServer::Reply robots;
    robots.contentType = "text/plain";
    robots.body = "User-agent: *\nDisallow: /\n\nUser-agent: textorin\nDisallow: /private\nCrawl-delay: 1.5\n";
    m_server.route("/robots.txt", robots);
    m_server.page("/private/x", "<html><body>private</body></html>");
    LocalHttpServer broken;
    QVERIFY(broken.listen());
    robots.status = 503;
    broken.route("/robots.txt", robots);
    broken.page("/one", "<html><body>one</body></html>");
    LocalHttpServer none;
    QVERIFY(none.listen());
    none.page("/one", "<html><body>one</body></html>");

    // A disallowed path is found however the row spells it.
    const QString list = m_server.url("/one") + "\n" + m_server.url("/public/%2E./private/x") + "\n" + broken.url("/one")
        + "\n" + m_server.url("/two") + "\n" + none.url("/one");
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--robots"),
                                    QStringLiteral("-v"), writeList(list.toUtf8())});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("skipped %1 (robots.txt)").arg(m_server.url("/public/%2E./private/x"))),
             qPrintable(result.out));
    QVERIFY(result.out.contains(QStringLiteral("skipped %1 (robots.txt unavailable)").arg(broken.url("/one"))));
    QVERIFY(result.out.contains(QStringLiteral("Saved 3, failed 0, skipped 2.")));
    QCOMPARE(m_server.hits(QStringLiteral("/robots.txt")), 1);
    QCOMPARE(m_server.hits(QStringLiteral("/private/x")), 0);
    QCOMPARE(broken.hits(QStringLiteral("/one")), 0);
    // The host's loads start at least its Crawl-delay apart.
    QList<qint64> starts;
    static const QRegularExpression load(QStringLiteral("timeline: row \\d+ page \\d+ at (\\d+) ms"));
    for (auto match = load.globalMatch(result.err); match.hasNext();)
        starts << match.next().captured(1).toLongLong();
    std::sort(starts.begin(), starts.end());
    QCOMPARE(starts.size(), 3);
    QVERIFY2(starts.at(1) - starts.at(0) >= 1400 && starts.at(2) - starts.at(1) >= 1400, qPrintable(result.err));
}

void TestBatchFrontEnd::robotsTxtOfWhereARedirectLeadsIsFollowed()
{
    QTemporaryDir out;
    LocalHttpServer site;
    LocalHttpServer far; // reached only by redirects: its robots.txt is fetched then
    QVERIFY(site.listen() && far.listen());
    LocalHttpServer::Reply robots;
    robots.contentType = "text/plain";
    robots.body = "User-agent: *\nDisallow: /private\nDisallow: /secret\n";
    site.route("/robots.txt", robots);
    far.route("/robots.txt", robots);
    const auto redirect = [](const QString &to) {
        LocalHttpServer::Reply reply;
        reply.status = 302;
        reply.location = to.toUtf8();
        return reply;
    };
    site.route("/go", redirect(QStringLiteral("/private/x")));
    site.route("/away", redirect(far.url("/ok/../secret")));
    site.route("/fine", redirect(far.url("/ok")));
    site.page("/private/x", "<html><body>private</body></html>");
    far.page("/secret", "<html><body>secret</body></html>");
    far.page("/ok", "<html><body>ok</body></html>");

    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--robots"),
                                    QStringLiteral("-u"), site.url("/go"), QStringLiteral("-u"), site.url("/away"),
                                    QStringLiteral("-u"), site.url("/fine")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("skipped %1 (robots.txt)").arg(site.url("/go")))
                 && result.out.contains(QStringLiteral("skipped %1 (robots.txt)").arg(site.url("/away")))
                 && result.out.contains(QStringLiteral("Saved 1, failed 0, skipped 2.")),
             qPrintable(result.out + result.err));
    QCOMPARE(site.hits(QStringLiteral("/private/x")) + far.hits(QStringLiteral("/secret")), 0);
    QCOMPARE(far.hits(QStringLiteral("/robots.txt")), 1);
    QCOMPARE(far.hits(QStringLiteral("/ok")), 1);
}

void TestBatchFrontEnd::robotsTxtThatNeverAnswersHoldsUpNoOtherRow()
{
    QTemporaryDir out;
    LocalHttpServer site; // no robots.txt: everything allowed
    LocalHttpServer mute; // its robots.txt never answers
    QVERIFY(site.listen() && mute.listen());
    LocalHttpServer::Reply silent;
    silent.silent = true;
    mute.route("/robots.txt", silent);
    mute.page("/page", "<html><body>page</body></html>");
    LocalHttpServer::Reply redirect;
    redirect.status = 302;
    redirect.location = mute.url("/page").toUtf8();
    site.route("/go", redirect);
    LocalHttpServer::Reply slow;
    slow.body = "<html><body>slow</body></html>";
    slow.delayMs = 1500;
    site.route("/slow", slow);

    const QString report = m_dir.filePath(QStringLiteral("unanswered.jsonl"));
    const Result result = runBatch({QStringLiteral("--folder"), out.path(), QStringLiteral("--robots"),
                                    QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--report"), report,
                                    QStringLiteral("-u"), site.url("/go"), QStringLiteral("-u"), site.url("/slow"),
                                    QStringLiteral("-u"), mute.url("/other")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("skipped %1 (robots.txt unavailable)").arg(site.url("/go")))
                 && result.out.contains(QStringLiteral("skipped %1 (robots.txt unavailable)").arg(mute.url("/other")))
                 && result.out.contains(QStringLiteral("Saved 1, failed 0, skipped 2.")),
             qPrintable(result.out + result.err));
    QVERIFY2(result.err.contains(QStringLiteral("cannot read %1: timed out").arg(mute.url("/robots.txt"))),
             qPrintable(result.err));
    QCOMPARE(mute.hits(QStringLiteral("/robots.txt")), 1);
    QCOMPARE(mute.hits(QStringLiteral("/page")) + mute.hits(QStringLiteral("/other")), 0);
    // The row in flight meanwhile ended as its page did, not when the robots.txt gave up.
    QFile lines(report);
    QVERIFY(lines.open(QIODevice::ReadOnly));
    qint64 slowMs = -1;
    for (const QByteArray &line : lines.readAll().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("address")).toString() == site.url("/slow"))
            slowMs = record.value(QStringLiteral("ms")).toInteger();
    }
    QVERIFY2(slowMs >= 1500 && slowMs < 15'000, qPrintable(QString::number(slowMs)));
}

QTEST_GUILESS_MAIN(TestBatchFrontEnd)
#include "tst_BatchFrontEnd.moc"
