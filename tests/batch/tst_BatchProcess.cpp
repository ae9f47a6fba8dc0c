#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"
#include "process/ChildProcesses.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

// textorin-batch as a process: usage, exit statuses, signals, closed descriptors, its engine.
class TestBatchProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readsStandardInputAndReportsFailures();
    void refusesBadUsageMissingListsEmptyListsAndBadFolders();
    void anAddressArgumentIsSavedAsWgetAndCurlWouldSaveIt();
    void helpExplainsTheOptions();
    void bothProgramsPrintTheirVersion();
    void quietPrintsOnlyFailuresWithTheirReasons();
    void optionsShapeTheLoadAndBadValuesAreRefused();
    void missingEngineIsOneClearError();
    void terminationEndsTheEngineAndItsProfile();
    void killedRunsProfileGoesWithTheNextRun();
    void terminationEndsTheReadingOfAnEndlessList();
    void runsWithStandardDescriptorsClosed();
    void busyServersAreTriedAgain();
    void pageOverTheMemoryCapFailsAlone();
    void configurationFileGivesOptionsFirst();
    void verboseTellsWhatHappenedAndHintsOnce();

private:
    BatchProgram m_batch;
    LocalHttpServer &m_server = m_batch.server();
};

void TestBatchProcess::initTestCase()
{
    QVERIFY(m_batch.start());
}

void TestBatchProcess::readsStandardInputAndReportsFailures()
{
    QTemporaryDir out;
    const QByteArray list = (m_server.url("/one") + "\n" + m_server.url("/missing") + "\n").toUtf8();
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("-")}, list);
    QCOMPARE(result.exitCode, 1);
    // A failed row is one line, with no error report besides it.
    QVERIFY(result.out.contains(
        QStringLiteral("[2/2] FAILED %1 (HTTP error 404 Not Found)\n").arg(m_server.url("/missing"))));
    QVERIFY2(!result.err.contains(QStringLiteral("Application Error")), qPrintable(result.err));
    QVERIFY(result.out.contains(QStringLiteral("Saved 1, failed 1, skipped 0.")));
}

void TestBatchProcess::refusesBadUsageMissingListsEmptyListsAndBadFolders()
{
    QTemporaryDir out;
    BatchProgram::Result result = m_batch.run({});
    QVERIFY2(BatchProgram::isUsageError(result, QStringLiteral("missing LISTFILE, URL or -u URL")),
             qPrintable(result.err));

    result = m_batch.run({QStringLiteral("--bogus"), m_batch.writeList("x")});
    QVERIFY2(BatchProgram::isUsageError(result, QStringLiteral("unknown option '--bogus'")), qPrintable(result.err));
    result = m_batch.run({QStringLiteral("--fromat"), QStringLiteral("md"), m_batch.writeList("x")});
    QVERIFY2(BatchProgram::isUsageError(result, QStringLiteral("unknown option '--fromat'. Did you mean '--format'?")),
             qPrintable(result.err));

    result = m_batch.run({QStringLiteral("--folder"), out.path(), m_batch.filePath(QStringLiteral("nope.txt"))});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(QStringLiteral("File not found")));

    result = m_batch.run({QStringLiteral("--folder"), out.path(), m_batch.writeList("\r\n  \n")});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(QStringLiteral("textorin-batch: the list has no rows\n")));

    // A folder that cannot be made is named with the system's reason.
    const QString file = m_batch.writeList("http://x/");
    result = m_batch.run({QStringLiteral("--folder"), file + QStringLiteral("/sub"), file});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QStringLiteral("textorin-batch: cannot create folder %1/sub: Not a directory\n").arg(file));
}

void TestBatchProcess::anAddressArgumentIsSavedAsWgetAndCurlWouldSaveIt()
{
    QTemporaryDir out;
    BatchProgram::Result result = m_batch.run({QStringLiteral("--folder"), out.path(), m_server.url("/one")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 1);
    // Neither a file nor an address says both; a list piped in without "-" says how to read it.
    result = m_batch.run({QStringLiteral("example.org/page")});
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(QStringLiteral("give it with its scheme or -u")), qPrintable(result.err));
    result = m_batch.run({}, "http://x/\n");
    QVERIFY2(result.err.contains(QStringLiteral("a list on standard input is read with -")), qPrintable(result.err));
}

void TestBatchProcess::helpExplainsTheOptions()
{
    const BatchProgram::Result result = m_batch.run({QStringLiteral("--help")});
    QCOMPARE(result.exitCode, 0);
    for (const char *word : {"--folder", "LISTFILE", "standard input", "Exit status"})
        QVERIFY2(result.out.contains(QLatin1String(word)), word);
}

void TestBatchProcess::bothProgramsPrintTheirVersion()
{
    const BatchProgram::Result batch = m_batch.run({QStringLiteral("--version")});
    QCOMPARE(batch.exitCode, 0);
    QCOMPARE(batch.out, QStringLiteral("textorin-batch " TEXTORIN_VERSION "\n"));
    QVERIFY(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(QStringLiteral(TEXTORIN_VERSION)).hasMatch());

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

void TestBatchProcess::quietPrintsOnlyFailuresWithTheirReasons()
{
    QTemporaryDir out;
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("-q"), QStringLiteral("--folder"), out.path(), QStringLiteral("-u"),
                     m_server.url("/one"), QStringLiteral("-u"), m_server.url("/missing")});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out,
             QStringLiteral("[2/2] FAILED %1 (HTTP error 404 Not Found)\nSaved 1, failed 1, skipped 0. "
                            "Folder: %2\n")
                 .arg(m_server.url("/missing"), out.path()));
    QVERIFY2(!result.err.contains(QStringLiteral("Application Error")), qPrintable(result.err));
}

void TestBatchProcess::optionsShapeTheLoadAndBadValuesAreRefused()
{
    QTemporaryDir out;
    const QString list = m_batch.writeList((m_server.url("/width") + "\n" + m_server.url("/image")).toUtf8());
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--timeout"), QStringLiteral("1.5"),
                     QStringLiteral("--settle"), QStringLiteral("0"), QStringLiteral("--window-size"),
                     QStringLiteral("1024x700"), list});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1 %1_width.txt").arg(m_server.port()))),
             QByteArray("1024x700"));
    QVERIFY2(result.out.contains(QStringLiteral("_image.txt (load incomplete)\n")), qPrintable(result.out));

    for (const QStringList &bad : {QStringList{QStringLiteral("--timeout"), QStringLiteral("soon")},
                                   QStringList{QStringLiteral("--timeout"), QStringLiteral("0")},
                                   QStringList{QStringLiteral("--settle"), QStringLiteral("-1")},
                                   QStringList{QStringLiteral("--window-size"), QStringLiteral("1280")},
                                   QStringList{QStringLiteral("--max-page-memory"), QStringLiteral("99")}}) {
        const BatchProgram::Result refused = m_batch.run(bad + QStringList{list});
        QVERIFY2(BatchProgram::isUsageError(refused, bad.first()), qPrintable(refused.err));
    }
}

void TestBatchProcess::missingEngineIsOneClearError()
{
    QTemporaryDir out;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("TEXTORIN_CHROMIUM"), QStringLiteral("/nonexistent/chromium"));
    const BatchProgram::Result result = m_batch.run(
        {QStringLiteral("--folder"), out.path(), m_batch.writeList("http://a/\nhttp://b/")}, {}, environment);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err.count(QStringLiteral("package \"chromium-headless-shell\"")), 1);
}

void TestBatchProcess::terminationEndsTheEngineAndItsProfile()
{
    QTemporaryDir out;
    QTemporaryDir temp(QStringLiteral("/tmp/tb-XXXXXX"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_batch.configPath());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TEXTORIN_BATCH_PATH),
                  {QStringLiteral("--folder"), out.path(), m_batch.writeList(m_server.url("/never").toUtf8())});
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
    QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    // Nothing of the engine lands in the user's own browser folders.
    QVERIFY(!QFile::exists(QDir(m_batch.configPath()).filePath(QStringLiteral("chromium"))));
}

void TestBatchProcess::killedRunsProfileGoesWithTheNextRun()
{
    QTemporaryDir out;
    QTemporaryDir temp(QStringLiteral("/tmp/tb-XXXXXX"));
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    QProcessEnvironment killedEnvironment = QProcessEnvironment::systemEnvironment();
    killedEnvironment.insert(environment);
    killedEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_batch.configPath());
    QProcess killed;
    killed.setProcessEnvironment(killedEnvironment);
    killed.start(QStringLiteral(TEXTORIN_BATCH_PATH),
                 {QStringLiteral("--folder"), out.path(), m_batch.writeList(m_server.url("/never").toUtf8())});
    const int hits = m_server.hits(QStringLiteral("/never"));
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/never")) > hits, 20000);
    const QList<int> engine = ChildProcesses::descendants(int(killed.processId()));
    const QStringList profiles = QDir(temp.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(profiles.size(), 1);
    killed.kill();
    QVERIFY(killed.waitForFinished(5000));
    QTRY_VERIFY_WITH_TIMEOUT(std::none_of(engine.cbegin(), engine.cend(), ChildProcesses::isAlive), 5000);
    QVERIFY(QFileInfo::exists(temp.filePath(profiles.constFirst())));

    const BatchProgram::Result next = m_batch.run(
        {QStringLiteral("--folder"), out.path(), m_batch.writeList(m_server.url("/one").toUtf8())}, {}, environment);
    QCOMPARE(next.exitCode, 0);
    QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestBatchProcess::terminationEndsTheReadingOfAnEndlessList()
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

void TestBatchProcess::runsWithStandardDescriptorsClosed()
{
    QTemporaryDir out;
    BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("-")}, {}, {}, {0});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QStringLiteral("textorin-batch: the list has no rows\n"));

    result = m_batch.run({QStringLiteral("--folder"), out.path(), m_batch.writeList(m_server.url("/one").toUtf8())}, {},
                         {}, {1, 2});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1 %1_one.txt").arg(m_server.port()))),
             QByteArray("one"));
}

void TestBatchProcess::busyServersAreTriedAgain()
{
    QTemporaryDir out;
    LocalHttpServer::Reply busy;
    busy.failFirst = 1;
    busy.body = "<html><body>in the end</body></html>";
    m_server.route("/busy-once", busy);
    m_server.route("/busy-again", busy);
    BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("-u"), m_server.url("/busy-once")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("(HTTP error 503 Service Unavailable)")), qPrintable(result.out));
    result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--tries"), QStringLiteral("2"),
                          QStringLiteral("-u"), m_server.url("/busy-again")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(m_server.hits(QStringLiteral("/busy-again")), 2);
    QCOMPARE(m_batch.run({QStringLiteral("--tries"), QStringLiteral("0"), QStringLiteral("-u"), QStringLiteral("x")})
                 .exitCode,
             2);
}

void TestBatchProcess::pageOverTheMemoryCapFailsAlone()
{
    // Fills 64-MiB buffers in a loop until its renderer is killed.
    m_server.page("/hog",
                  "<html><body><p>hog</p><script>const kept = []; for (;;) {"
                  " const block = new Uint8Array(64 << 20); block.fill(kept.length % 250 + 1);"
                  " kept.push(block); }</script></body></html>");
    QTemporaryDir out;
    const BatchProgram::Result result = m_batch.run(
        {QStringLiteral("--folder"), out.path(), QStringLiteral("-j"), QStringLiteral("2"),
         QStringLiteral("--max-page-memory"), QStringLiteral("300"), QStringLiteral("-u"), m_server.url("/one"),
         QStringLiteral("-u"), m_server.url("/hog"), QStringLiteral("-u"), m_server.url("/two")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(
        result.out.contains(QStringLiteral("[2/3] FAILED %1 (page used too much memory)\n").arg(m_server.url("/hog"))),
        qPrintable(result.out));
    const QString prefix = QStringLiteral("127.0.0.1 %1_").arg(m_server.port());
    QCOMPARE(readTestFile(out.filePath(prefix + QStringLiteral("one.txt"))), QByteArray("one"));
    QCOMPARE(readTestFile(out.filePath(prefix + QStringLiteral("two.txt"))), QByteArray("two ✓"));
}

void TestBatchProcess::configurationFileGivesOptionsFirst()
{
    QTemporaryDir out;
    const QString config = QDir(m_batch.configPath()).filePath(QStringLiteral("textorin/batch.conf"));
    QVERIFY(QDir().mkpath(QFileInfo(config).path()));
    QVERIFY(writeTestFile(config, "# defaults\n--folder " + out.path().toUtf8() + "\n--format=md\n--settle 0\n"));
    BatchProgram::Result result =
        m_batch.run({QStringLiteral("--format"), QStringLiteral("html"), QStringLiteral("-u"), m_server.url("/one")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files),
             QStringList{QStringLiteral("127.0.0.1 %1_one.html").arg(m_server.port())});

    QVERIFY(writeTestFile(config, "--settle 0\n--jobs many\n"));
    result = m_batch.run({QStringLiteral("-u"), m_server.url("/one")});
    QVERIFY2(BatchProgram::isUsageError(result, config + QStringLiteral(":2: --jobs wants a whole number")),
             qPrintable(result.err));
    result = m_batch.run({QStringLiteral("--no-config"), QStringLiteral("--folder"), out.path(), QStringLiteral("-u"),
                          m_server.url("/two")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(QFile::remove(config));
}

// -v prints each load's answer and redirects, never the engine's own lines, which
// go to --engine-log; a common failure gets its hint once; a time-out names its limit.
void TestBatchProcess::verboseTellsWhatHappenedAndHintsOnce()
{
    LocalHttpServer::Reply moved;
    moved.status = 302;
    moved.location = m_server.url("/one").toUtf8();
    m_server.route("/moved", moved);
    QTemporaryDir out;
    const QString log = out.filePath(QStringLiteral("engine.log"));
    const QString list = m_server.url("/moved") + QLatin1Char('\n') + m_server.url("/silent") + QLatin1Char('\n')
        + m_server.url("/never");
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("-v"), QStringLiteral("--engine-log"), log, QStringLiteral("--timeout"),
                     QStringLiteral("2.5"), QStringLiteral("--folder"), out.path(), m_batch.writeList(list.toUtf8())});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.contains(QStringLiteral("row 1: status 200, text/html, final address %1, redirects: %2 -> %1\n")
                                     .arg(m_server.url("/one"), m_server.url("/moved"))),
             qPrintable(result.err));
    QVERIFY2(result.out.contains(QStringLiteral("(timed out after 2.5 s)")), qPrintable(result.out));
    QCOMPARE(result.out.count(QStringLiteral("\n  hint: --timeout SECONDS gives each page longer\n")), 1);
    static const QRegularExpression ours(QStringLiteral("^(row \\d+: |timeline: )"));
    for (const QString &line : result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        QVERIFY2(ours.match(line).hasMatch(), qPrintable(line));
    QVERIFY(QFileInfo::exists(log));
}

QTEST_GUILESS_MAIN(TestBatchProcess)
#include "tst_BatchProcess.moc"
