#include "capture/CaptureRun.h"
#include "capture/OutputFile.h"
#include "engine/ChromiumPage.h"
#include "fakes/FakeFormView.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/LocalHttpServer.h"
#include "fakes/TestFiles.h"
#include "platform/ChildProcesses.h"
#include "platform/ChromiumProcess.h"
#include "support/QtEventPump.h"
#include "urllist/UrlListModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QByteArray html(const QByteArray &body, const QByteArray &head = {})
{
    return "<!DOCTYPE html><html><head><meta charset=utf-8>" + head + "</head><body>" + body
        + "</body></html>";
}

// A capture run over the test server's pages with the real engine.
struct Run {
    explicit Run(ChromiumPage &browser) : browser(browser)
    {
        view.folder = folder.path();
        run.setRowObserver([this](const CaptureRun::RowResult &result) {
            finishedAt.insert(result.url, clock.elapsed());
            if (!result.note.isEmpty())
                notes.insert(result.url, result.note);
        });
    }
    void start(const QStringList &urls)
    {
        for (const QString &url : urls)
            list.append(url);
        clock.start();
        run.start();
    }
    QString path(const QString &url) const
    {
        return MakeOutputPath(folder.path(), MakeOutputFileName(url));
    }
    QByteArray file(const QString &url) const { return readTestFile(path(url)); }
    // The report shown for the address, or empty.
    QString warningFor(const QString &url) const
    {
        for (const QString &warning : boxes.warnings()) {
            if (warning.startsWith(QStringLiteral("Could not load ") + url + QLatin1Char(':')))
                return warning;
        }
        return {};
    }

    ChromiumPage &browser;
    QTemporaryDir folder;
    FakeFormView view;
    UrlListModel list;
    FakeMessageBoxes boxes;
    QtEventPump pump;
    CaptureRun run{view, list, boxes, browser, pump};
    QElapsedTimer clock;
    QHash<QString, qint64> finishedAt;
    QHash<QString, QString> notes;
};

// CPU ticks of the engine's processes.
qint64 engineTicks(qint64 enginePid)
{
    qint64 ticks = 0;
    QList<int> pids = ChildProcesses::descendants(int(enginePid));
    pids.append(int(enginePid));
    for (int pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            ticks += fields.at(11).toLongLong() + fields.at(12).toLongLong();
    }
    return ticks;
}

QList<int> renderers(qint64 enginePid)
{
    QList<int> result;
    for (int pid : ChildProcesses::descendants(int(enginePid))) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("--type=renderer"))
            result.append(pid);
    }
    return result;
}

} // namespace

class TestChromiumPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void everyRowGetsItsOwnPageOrAFailure();
    void savesWhatADesktopReaderSees();
    void rowsShareNoCookiesOrStorage();
    void loopingPageEndsAtTheLimitAndTheSiteLoadsAgain();
    void killedEngineProcessesFailOnlyTheirRow();
    void oversizedPageFailsWithoutFollowingIt();
    void missingEngineIsReportedOnce();
    void busyServersAreTriedAgainAfterTheirPause();

private:
    LocalHttpServer m_server;
    ChromiumProcess *m_engine = nullptr;
    ChromiumPage *m_browser = nullptr;
    QtEventPump *m_pump = nullptr;
};

void TestChromiumPage::initTestCase()
{
    QVERIFY(m_server.listen());
    m_server.page("/plain", html("<h1>Hello</h1><p>plain page</p>"));
    m_server.page("/other", html("<p>other page</p>"));
    m_server.page("/utf8", html("<p>Grüße — 日本語 ✓</p>"));
    LocalHttpServer::Reply reply;
    reply.status = 404;
    reply.body = html("<p>not here</p>");
    m_server.route("/gone", reply);
    reply = {};
    reply.status = 401;
    reply.headers = "WWW-Authenticate: Basic realm=\"x\"\r\n";
    reply.body = html("<p>who are you</p>");
    m_server.route("/private", reply);
    reply = {};
    reply.silent = true;
    m_server.route("/silent", reply);
    m_server.route("/silent-image", reply);
    reply = {};
    reply.neverFinish = true;
    reply.body = "<html><body><p>partial text";
    m_server.route("/stall", reply);
    reply = {};
    reply.headers = "Content-Disposition: attachment; filename=a.txt\r\n";
    reply.contentType = "text/plain";
    reply.body = "file body";
    m_server.route("/attachment", reply);
    reply = {};
    reply.status = 302;
    reply.location = "/other";
    m_server.route("/moved", reply);
    m_server.page("/stalled-image", html("<p>text before a stalled image</p><img src=/silent-image>"));
    m_server.page("/dialogs", html("<p>after dialogs</p><script>alert('a'); confirm('b'); prompt('c');"
                                   "window.open('/other'); print();</script>"));

    m_engine = new ChromiumProcess(this);
    EngineOptions options;
    options.pageLimitMs = 2000;
    m_browser = new ChromiumPage(*m_engine, options, this);
    m_pump = new QtEventPump;
    m_browser->setDoneHandler([this] { m_pump->wake(); });
}

void TestChromiumPage::cleanupTestCase()
{
    m_browser->shutdown();
    QVERIFY(ChildProcesses::descendants(int(QCoreApplication::applicationPid())).isEmpty());
    delete m_pump;
}

void TestChromiumPage::everyRowGetsItsOwnPageOrAFailure()
{
    Run r(*m_browser);
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();
    const QString plain = m_server.url("/plain");
    const QString gone = m_server.url("/gone");
    QVERIFY(writeTestFile(r.path(gone), "earlier"));

    struct Row {
        QString url;
        QByteArray text;   // saved text, or empty for a failure
        QString reason;    // part of the failure's report
    };
    const QList<Row> rows = {
        {plain, "Hello\n\nplain page", {}},
        {m_server.url("/silent"), {}, QStringLiteral("timed out after 2 s")},
        {m_server.url("/other"), "other page", {}},
        {gone, {}, QStringLiteral("HTTP error 404 Not Found")},
        {refused, {}, QStringLiteral("net::ERR_CONNECTION_REFUSED")},
        {m_server.url("/stall"), {}, QStringLiteral("timed out after 2 s")},
        {m_server.url("/utf8"), "Grüße — 日本語 ✓", {}},
        {m_server.url("/private"), {}, QStringLiteral("HTTP error 401 Unauthorized")},
        {QStringLiteral("javascript:document.body.innerText"), {}, QStringLiteral("javascript:")},
        {m_server.url("/attachment"), {}, QStringLiteral("download")},
        {QStringLiteral("ftp://127.0.0.1/x"), {}, QStringLiteral("unsupported scheme")},
        {m_server.url("/moved"), "other page", {}},
        {m_server.url("/moved#part"), "other page", {}},
        {m_server.url("/dialogs"), "after dialogs", {}},
        {QStringLiteral("data:text/html,<p>inline</p>"), "inline", {}},
        {m_server.url("/stalled-image"), "text before a stalled image", {}},
        {QString(), "", {}},
    };
    QStringList urls;
    for (const Row &row : rows)
        urls << row.url;
    r.start(urls);

    for (const Row &row : rows) {
        const QString warning = r.warningFor(row.url);
        if (row.reason.isEmpty()) {
            QVERIFY2(warning.isEmpty(), qPrintable(warning));
            QCOMPARE(r.file(row.url), row.text);
        } else {
            QVERIFY2(warning.contains(row.reason), qPrintable(row.url + QLatin1String(" → ") + warning));
            QVERIFY2(warning.contains(QStringLiteral("line 134")), qPrintable(warning));
            if (row.url != gone)
                QVERIFY2(!QFile::exists(r.path(row.url)), qPrintable(row.url));
        }
    }
    QCOMPARE(r.file(gone), QByteArray("earlier"));
    QCOMPARE(r.notes.value(m_server.url("/stalled-image")), QStringLiteral("load incomplete"));
    QCOMPARE(r.notes.value(plain), QString());
    // The row after a stalled one does not wait out another 2-s limit (a recycled
    // page on a loaded machine may take well over a second).
    const qint64 afterSilent = r.finishedAt.value(m_server.url("/other"))
        - r.finishedAt.value(m_server.url("/silent"));
    QVERIFY2(afterSilent < 2000, qPrintable(QString::number(afterSilent)));
    QCOMPARE(r.run.lastSummary().saved, 9);
    QCOMPARE(r.boxes.informations(), QStringList{QStringLiteral("Done.")});
}

void TestChromiumPage::savesWhatADesktopReaderSees()
{
    m_server.page("/late", html("<p id=a>Loading...</p><p id=b>Loading...</p><script>"
                                "onload = () => { fetch('/other').then(r => r.text()).then(t => {"
                                " document.getElementById('a').textContent = 'fetched'; });"
                                " setTimeout(() => { document.getElementById('b').textContent ="
                                " 'timer'; }, 300); };</script>"));
    QByteArray sections;
    for (int i = 0; i < 30; ++i)
        sections += "<section style='content-visibility:auto'><p>section " + QByteArray::number(i)
            + "</p></section>";
    m_server.page("/sections", html("<div style='height:5000px'>top</div>" + sections
                                    + "<div style='content-visibility:hidden'>never shown</div>"));
    m_server.page("/desktop", html("<nav class=wide>Desktop menu</nav><p>body</p>",
                                   "<style>.wide{display:none}@media (min-width:1000px)"
                                   "{.wide{display:block}}</style>"));
    Run r(*m_browser);
    r.start({m_server.url("/late"), m_server.url("/sections"), m_server.url("/desktop")});
    QCOMPARE(r.boxes.warnings(), QStringList());
    QCOMPARE(r.file(m_server.url("/late")), QByteArray("fetched\n\ntimer"));
    const QByteArray text = r.file(m_server.url("/sections"));
    QVERIFY2(text.contains("section 0\n") && text.endsWith("section 29"), text.right(200));
    QVERIFY(!text.contains("never shown"));
    QCOMPARE(r.file(m_server.url("/desktop")), QByteArray("Desktop menu\n\nbody"));
}

void TestChromiumPage::rowsShareNoCookiesOrStorage()
{
    m_server.page("/keep", html("<p>kept</p><script>document.cookie = 'c=1; max-age=999';"
                                " localStorage.setItem('s', '1'); sessionStorage.setItem('t', '1');</script>"));
    m_server.page("/show", html("<p id=p></p><script>document.getElementById('p').textContent ="
                                " 'cookie=' + document.cookie + ' local=' + localStorage.getItem('s');</script>"));
    Run r(*m_browser);
    r.start({m_server.url("/keep"), m_server.url("/show")});
    QCOMPARE(r.file(m_server.url("/keep")), QByteArray("kept"));
    QCOMPARE(r.file(m_server.url("/show")), QByteArray("cookie= local=null"));
}

void TestChromiumPage::loopingPageEndsAtTheLimitAndTheSiteLoadsAgain()
{
    m_server.page("/loop", html("<p>spinning</p><script>for (;;) {}</script>"));
    m_server.page("/loop-late", html("<p>spins after load</p><script>onload = () => { for (;;) {} };"
                                     "</script>"));
    Run r(*m_browser);
    r.start({m_server.url("/loop"), m_server.url("/plain"), m_server.url("/loop-late"),
             m_server.url("/other")});
    QVERIFY(r.warningFor(m_server.url("/loop")).contains(QStringLiteral("timed out")));
    QVERIFY(r.warningFor(m_server.url("/loop-late")).contains(QStringLiteral("timed out")));
    QCOMPARE(r.file(m_server.url("/plain")), QByteArray("Hello\n\nplain page"));
    QCOMPARE(r.file(m_server.url("/other")), QByteArray("other page"));
    // No renderer keeps spinning once its row has failed (new ones start up first).
    QTest::qWait(1500);
    const qint64 before = engineTicks(m_engine->processId());
    QTest::qWait(1000);
    const qint64 spent = engineTicks(m_engine->processId()) - before;
    QVERIFY2(spent < sysconf(_SC_CLK_TCK) / 3, qPrintable(QString::number(spent)));
}

void TestChromiumPage::killedEngineProcessesFailOnlyTheirRow()
{
    Run r(*m_browser);
    int killed = 0;
    QTimer::singleShot(700, this, [&] {
        for (int pid : renderers(m_engine->processId()))
            killed += ::kill(pid, SIGKILL) == 0;
    });
    // The stalled page is in its renderer when the renderer dies.
    r.start({m_server.url("/stall"), m_server.url("/plain")});
    QVERIFY(killed > 0);
    QVERIFY2(r.warningFor(m_server.url("/stall")).contains(QStringLiteral("crashed")),
             qPrintable(r.boxes.warnings().join(QLatin1Char('|'))));
    QCOMPARE(r.file(m_server.url("/plain")), QByteArray("Hello\n\nplain page"));

    // The browser process itself: the next row starts a new one.
    Run again(*m_browser);
    const qint64 engine = m_engine->processId();
    QTimer::singleShot(700, this, [engine] { ::kill(pid_t(engine), SIGKILL); });
    again.start({m_server.url("/stall"), m_server.url("/other")});
    QVERIFY2(again.warningFor(m_server.url("/stall")).contains(QStringLiteral("stopped unexpectedly")),
             qPrintable(again.boxes.warnings().join(QLatin1Char('|'))));
    QCOMPARE(again.file(m_server.url("/other")), QByteArray("other page"));
    QVERIFY(m_engine->processId() != engine);
}

void TestChromiumPage::oversizedPageFailsWithoutFollowingIt()
{
    LocalHttpServer::Reply huge;
    huge.contentType = "text/plain";
    huge.body = QByteArray(20 * 1024 * 1024, 'x');
    m_server.route("/huge", huge);
    Run r(*m_browser);
    r.start({m_server.url("/huge"), m_server.url("/plain")});
    QVERIFY2(r.warningFor(m_server.url("/huge")).contains(QStringLiteral("page too large")),
             qPrintable(r.boxes.warnings().join(QLatin1Char('|'))));
    QCOMPARE(r.file(m_server.url("/plain")), QByteArray("Hello\n\nplain page"));
}

void TestChromiumPage::missingEngineIsReportedOnce()
{
    qputenv("TEXTORIN_CHROMIUM", "/nonexistent/chromium");
    ChromiumProcess engine;
    ChromiumPage browser(engine);
    Run r(browser);
    r.start({m_server.url("/plain"), m_server.url("/other")});
    qunsetenv("TEXTORIN_CHROMIUM");
    QCOMPARE(r.boxes.warnings().size(), 1);
    QVERIFY(r.boxes.warnings().first().contains(QStringLiteral("package \"chromium\"")));
    QCOMPARE(r.run.lastSummary().failed, 2);
    QCOMPARE(r.boxes.informations(), QStringList{QStringLiteral("Done.")});
}

void TestChromiumPage::busyServersAreTriedAgainAfterTheirPause()
{
    LocalHttpServer::Reply busy;
    busy.failFirst = 1;
    busy.body = html("<p>answered</p>");
    m_server.route("/busy", busy);
    LocalHttpServer::Reply gone;
    gone.status = 404;
    m_server.route("/gone-for-good", gone);
    Run r(*m_browser);
    r.run.setTries(3, 10);
    r.start({m_server.url("/busy"), m_server.url("/gone-for-good")});
    QCOMPARE(r.file(m_server.url("/busy")), QByteArray("answered"));
    QCOMPARE(m_server.hits(QStringLiteral("/busy")), 2);
    // The server asked for a second.
    QVERIFY(r.finishedAt.value(m_server.url("/busy")) >= 1000);
    QCOMPARE(m_server.hits(QStringLiteral("/gone-for-good")), 1);
    QCOMPARE(r.boxes.warnings().size(), 1);
}

QTEST_GUILESS_MAIN(TestChromiumPage)
#include "tst_ChromiumPage.moc"
