#include "fakes/LiveEngine.h"
#include "fakes/LocalHttpServer.h"
#include "process/ChildProcesses.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QtTest>

#include <csignal>
#include <memory>
#include <vector>

namespace {

struct TimedOutcome {
    PageOutcome outcome;
    qint64 ms = -1;
};

// Loads the rows in `pageCount` pages of one browser, each page taking the next
// row as it comes free, as a run with -j does.
QList<TimedOutcome> loadInPages(const QStringList &rows, const EngineOptions &options, QtEventPump &pump,
                                qsizetype pageCount)
{
    ChromiumProcess engine;
    ChromiumBrowser browser(engine, options);
    std::vector<std::unique_ptr<ChromiumPage>> pages;
    std::vector<qsizetype> rowOf(size_t(pageCount), -1);
    QList<TimedOutcome> outcomes(rows.size());
    qsizetype next = 0;
    qsizetype done = 0;
    QElapsedTimer clock;
    clock.start();
    const auto feed = [&](size_t slot) {
        ChromiumPage &page = *pages[slot];
        if (rowOf[slot] >= 0) {
            outcomes[rowOf[slot]].outcome = page.takeOutcome();
            ++done;
        }
        rowOf[slot] = next < rows.size() ? next++ : -1;
        if (rowOf[slot] >= 0)
            page.load(rows.at(rowOf[slot]));
    };
    for (qsizetype i = 0; i < pageCount; ++i) {
        pages.push_back(std::make_unique<ChromiumPage>(browser));
        pages.back()->setDoneHandler([&outcomes, &clock, &pump, &rowOf, i] {
            outcomes[rowOf[size_t(i)]].ms = clock.elapsed();
            pump.wake();
        });
    }
    for (size_t slot = 0; slot < pages.size(); ++slot)
        feed(slot);
    const QDeadlineTimer deadline(options.longestRowMs() * (rows.size() / pageCount + 1));
    while (done < rows.size() && !deadline.hasExpired()) {
        pump.waitForEvents(1000);
        for (size_t slot = 0; slot < pages.size(); ++slot) {
            if (rowOf[slot] >= 0 && pages[slot]->isDone())
                feed(slot);
        }
    }
    return outcomes;
}

// Loads the rows at once, each in a page of its own in one browser.
QList<TimedOutcome> loadAtOnce(const QStringList &rows, const EngineOptions &options, QtEventPump &pump)
{
    return loadInPages(rows, options, pump, rows.size());
}

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
    void takesWhatADesktopReaderSees();
    void rowsShareNothingOfTheirContext();
    void loopingPageEndsAtTheLimitAndTheSiteLoadsAgain();
    void killedEngineProcessesFailOnlyTheirRow();
    void oversizedPageFailsWithoutFollowingIt();
    void missingEngineFailsEveryRow();
    void busyServersMayPassAfterTheirPause();
    void aHistoryFloodCostsNoOtherPage();
    void aSpinningFrameOfAnotherSiteCostsItsPageNothing();
    void stoppedAndRunawayPagesEndWithoutTheLimit();
    void abortedRowsAndAnIdleEngineLeaveNothingRunning();

private:
    PageOutcome load(const QString &row) { return m_engine->load(row); }
    QString content(const QString &path) { return load(m_server.url(path)).content; }

    LocalHttpServer m_server;
    std::unique_ptr<LiveEngine> m_engine;
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
    reply.contentType = "text/html";
    m_server.route("/html-attachment", reply);
    reply = {};
    reply.status = 302;
    reply.location = "/other";
    m_server.route("/moved", reply);
    m_server.page("/stalled-image", html("<p>text before a stalled image</p><img src=/silent-image>"));
    m_server.page("/popups",
                  html("<p>popups</p><script>for (let i = 0; i < 300; ++i) window.open('/other?' + i);"
                       "setInterval(() => window.open('/other?' + Math.random()), 1);</script>"));
    m_server.page("/dialogs",
                  html("<p>after dialogs</p><script>alert('a'); confirm('b'); prompt('c');"
                       "window.open('/other'); print();</script>"));

    EngineOptions options;
    options.pageLimitMs = 2000;
    m_engine = std::make_unique<LiveEngine>(options);
}

void TestChromiumPage::cleanupTestCase()
{
    m_engine->shutdown();
    QVERIFY(ChildProcesses::descendants(int(QCoreApplication::applicationPid())).isEmpty());
    m_engine.reset();
}

void TestChromiumPage::everyRowGetsItsOwnPageOrAFailure()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
    closed.close();

    struct Row {
        QString url;
        QString text; // the content, when the row loads
        QString reason; // part of the failure, when it does not
        int status = -1; // the HTTP status, when checked
    };
    const QList<Row> rows = {
        {m_server.url("/plain"), QStringLiteral("Hello\n\nplain page"), {}, 200},
        {m_server.url("/silent"), {}, QStringLiteral("timed out after 2 s"), 0},
        {m_server.url("/other"), QStringLiteral("other page"), {}, 200},
        {m_server.url("/gone"), {}, QStringLiteral("HTTP error 404 Not Found"), 404},
        {refused, {}, QStringLiteral("net::ERR_CONNECTION_REFUSED"), 0},
        {m_server.url("/stall"), {}, QStringLiteral("timed out after 2 s")},
        {m_server.url("/utf8"), QStringLiteral("Grüße — 日本語 ✓"), {}},
        {m_server.url("/private"), {}, QStringLiteral("HTTP error 401 Unauthorized"), 401},
        {QStringLiteral("javascript:document.body.innerText"), {}, QStringLiteral("javascript:"), 0},
        {m_server.url("/attachment"), QStringLiteral("file body"), {}, 200},
        {m_server.url("/html-attachment"), {}, QStringLiteral("download")},
        {QStringLiteral("ftp://127.0.0.1/x"), {}, QStringLiteral("unsupported scheme"), 0},
        {m_server.url("/moved"), QStringLiteral("other page"), {}, 200},
        {m_server.url("/moved#part"), QStringLiteral("other page"), {}},
        {m_server.url("/dialogs"), QStringLiteral("after dialogs"), {}},
        {m_server.url("/popups"), QStringLiteral("popups"), {}},
        {QStringLiteral("data:text/html,<p>inline</p>"), QStringLiteral("inline"), {}},
        {m_server.url("/stalled-image"), QStringLiteral("text before a stalled image"), {}},
        {QString(), QString(), {}},
    };
    QHash<QString, PageOutcome> outcomes;
    QHash<QString, qint64> took;
    for (const Row &row : rows) {
        QElapsedTimer clock;
        clock.start();
        outcomes.insert(row.url, load(row.url));
        took.insert(row.url, clock.elapsed());
    }
    for (const Row &row : rows) {
        const PageOutcome outcome = outcomes.value(row.url);
        if (row.reason.isEmpty()) {
            QVERIFY2(!outcome.failed(), qPrintable(row.url + QLatin1String(" → ") + outcome.failure));
            QCOMPARE(outcome.content, row.text);
        } else {
            QVERIFY2(outcome.failure.contains(row.reason),
                     qPrintable(row.url + QLatin1String(" → ") + outcome.failure));
            QVERIFY(outcome.content.isEmpty());
            QVERIFY2(!outcome.failure.contains(m_server.url({})), qPrintable(outcome.failure));
        }
        if (row.status >= 0)
            QCOMPARE(outcome.httpStatus, row.status);
    }
    const PageOutcome plain = outcomes.value(m_server.url("/plain"));
    QCOMPARE(plain.contentType, QStringLiteral("text/html"));
    QCOMPARE(plain.finalUrl, m_server.url("/plain"));
    QCOMPARE(outcomes.value(m_server.url("/moved")).finalUrl, m_server.url("/other"));
    QCOMPARE(outcomes.value(m_server.url("/stalled-image")).note, QStringLiteral("load incomplete"));
    QCOMPARE(plain.note, QString());
    // The row after a stalled one does not wait out another 2-s limit (a recycled
    // page on a loaded machine may take well over a second).
    QVERIFY2(took.value(m_server.url("/other")) < 2000,
             qPrintable(QString::number(took.value(m_server.url("/other")))));
}

void TestChromiumPage::takesWhatADesktopReaderSees()
{
    m_server.page("/late",
                  html("<p id=a>Loading...</p><p id=b>Loading...</p><script>"
                       "onload = () => { fetch('/other').then(r => r.text()).then(t => {"
                       " document.getElementById('a').textContent = 'fetched'; });"
                       " setTimeout(() => { document.getElementById('b').textContent ="
                       " 'timer'; }, 300); };</script>"));
    QByteArray sections;
    for (int i = 0; i < 30; ++i)
        sections += "<section style='content-visibility:auto'><p>section " + QByteArray::number(i) + "</p></section>";
    m_server.page("/sections",
                  html("<div style='height:5000px'>top</div>" + sections
                       + "<div style='content-visibility:hidden'>never shown</div>"));
    m_server.page("/desktop",
                  html("<nav class=wide>Desktop menu</nav><p>body</p>",
                       "<style>.wide{display:none}@media (min-width:1000px)"
                       "{.wide{display:block}}</style>"));
    QCOMPARE(content("/late"), QStringLiteral("fetched\n\ntimer"));
    const QString text = content("/sections");
    QVERIFY2(text.contains(QLatin1String("section 0\n")) && text.endsWith(QLatin1String("section 29")),
             qPrintable(text.right(200)));
    QVERIFY(!text.contains(QLatin1String("never shown")));
    QCOMPARE(content("/desktop"), QStringLiteral("Desktop menu\n\nbody"));
}

void TestChromiumPage::rowsShareNothingOfTheirContext()
{
    // A row leaves what a context keeps: cookies, storage, databases, caches, a
    // service worker, an HTTP-cached answer, a password in the auth cache.
    m_server.page(
        "/keep",
        html("<p id=p>writing</p><script>document.cookie = 'c=1; max-age=999';"
             " localStorage.setItem('s', '1'); sessionStorage.setItem('t', '1');"
             " Promise.all([fetch('/personal').then(r => r.text()),"
             "  caches.open('k').then(c => c.put('/x', new Response('x'))),"
             "  new Promise(done => { const o = indexedDB.open('db'); o.onsuccess = done; o.onerror = done; }),"
             "  navigator.serviceWorker.register('/sw.js').then(() => navigator.serviceWorker.ready)])"
             " .then(() => 'kept', e => 'failed ' + e).then(t => { const p = document.getElementById('p');"
             " p.textContent = t; p.id = 'done'; });</script>"));
    m_server.page(
        "/show",
        html("<p id=p>reading</p><script>Promise.all([fetch('/personal').then(r => r.text()),"
             " caches.keys(), indexedDB.databases(), navigator.serviceWorker.getRegistrations()])"
             " .then(([personal, keys, dbs, workers]) => { const p = document.getElementById('p'); p.textContent ="
             " 'cookie=' + document.cookie + ' local=' + localStorage.getItem('s') + ' caches=' + keys.length"
             " + ' databases=' + dbs.length + ' workers=' + workers.length; p.id = 'done'; });</script>"));
    LocalHttpServer::Reply personal;
    personal.contentType = "text/plain";
    personal.headers = "Cache-Control: private, max-age=3600\r\n";
    personal.body = "for one reader";
    m_server.route("/personal", personal);
    personal.contentType = "text/javascript";
    personal.headers.clear();
    personal.body = "self.addEventListener('fetch', () => {});";
    m_server.route("/sw.js", personal);
    LocalHttpServer::Reply secret;
    secret.authorization = "Basic " + QByteArray("user:pass").toBase64();
    secret.body = html("<p id=done>signed in</p>");
    m_server.route("/secret", secret);
    secret.contentType = "image/png";
    m_server.route("/secret.png", secret);
    const QString otherHost = m_server.url("/peek").replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"));
    m_server.page("/peek", html("<p id=done>peek</p><img src=" + m_server.url("/secret.png").toUtf8() + ">"));

    EngineOptions options;
    options.pageLimitMs = 10'000;
    options.waitForSelector = QStringLiteral("#done");
    options.authUser = QStringLiteral("user");
    options.authPassword = QStringLiteral("pass");
    QStringList rows;
    for (int i = 0; i < 4; ++i)
        rows << m_server.url("/keep") << m_server.url("/show") << m_server.url("/secret") << otherHost;
    for (const qsizetype pages : {1, 4}) {
        const int personalHits = m_server.hits(QStringLiteral("/personal"));
        const QList<TimedOutcome> outcomes = loadInPages(rows, options, m_engine->pump, pages);
        for (qsizetype i = 0; i < rows.size(); i += 4) {
            QCOMPARE(outcomes.at(i).outcome.content, QStringLiteral("kept"));
            QCOMPARE(outcomes.at(i + 1).outcome.content,
                     QStringLiteral("cookie= local=null caches=0 databases=0 workers=0"));
            QCOMPARE(outcomes.at(i + 2).outcome.content, QStringLiteral("signed in"));
            QCOMPARE(outcomes.at(i + 3).outcome.content, QStringLiteral("peek"));
        }
        // Every row asked for its own answer, and the image of another origin got no password.
        QCOMPARE(m_server.hits(QStringLiteral("/personal")) - personalHits, 8);
        QCOMPARE(m_server.hitsWith(QStringLiteral("/secret.png"), "authorization"), 0);
    }
}

void TestChromiumPage::loopingPageEndsAtTheLimitAndTheSiteLoadsAgain()
{
    m_server.page("/loop", html("<p>spinning</p><script>for (;;) {}</script>"));
    m_server.page("/loop-late",
                  html("<p>spins after load</p><script>onload = () => { for (;;) {} };"
                       "</script>"));
    QVERIFY(load(m_server.url("/loop")).failure.contains(QStringLiteral("timed out")));
    QCOMPARE(content("/plain"), QStringLiteral("Hello\n\nplain page"));
    QVERIFY(load(m_server.url("/loop-late")).failure.contains(QStringLiteral("timed out")));
    QCOMPARE(content("/other"), QStringLiteral("other page"));
    // No renderer keeps spinning once its row has failed (new ones start up first).
    QTest::qWait(1500);
    const qint64 before = engineTicks(m_engine->process.processId());
    QTest::qWait(1000);
    const qint64 spent = engineTicks(m_engine->process.processId()) - before;
    QVERIFY2(spent < sysconf(_SC_CLK_TCK) / 3, qPrintable(QString::number(spent)));
}

void TestChromiumPage::killedEngineProcessesFailOnlyTheirRow()
{
    int killed = 0;
    QTimer::singleShot(700, this, [&] {
        for (int pid : renderers(m_engine->process.processId()))
            killed += ::kill(pid, SIGKILL) == 0;
    });
    // The stalled page is in its renderer when the renderer dies.
    const PageOutcome stalled = load(m_server.url("/stall"));
    QVERIFY(killed > 0);
    QVERIFY2(stalled.failure.contains(QStringLiteral("crashed")), qPrintable(stalled.failure));
    QCOMPARE(content("/plain"), QStringLiteral("Hello\n\nplain page"));

    // The browser process itself: its helpers (one too stopped to end by itself)
    // and its profile go with it, and the next row starts a new one.
    const qint64 engine = m_engine->process.processId();
    const QString profile = m_engine->browser.profilePath();
    QVERIFY(QFileInfo::exists(profile));
    const int stopped = ChildProcesses::descendants(int(engine)).value(0);
    QVERIFY(stopped > 0);
    QTimer::singleShot(700, this, [engine, stopped] {
        ::kill(stopped, SIGSTOP);
        ::kill(pid_t(engine), SIGKILL);
    });
    const PageOutcome ended = load(m_server.url("/stall"));
    const QList<int> left = ChildProcesses::aliveInGroup(int(engine));
    ::kill(stopped, SIGKILL);
    QVERIFY2(ended.failure.contains(QStringLiteral("stopped unexpectedly")), qPrintable(ended.failure));
    QCOMPARE(left, QList<int>());
    QVERIFY(!QFileInfo::exists(profile));
    QCOMPARE(content("/other"), QStringLiteral("other page"));
    QVERIFY(m_engine->process.processId() != engine);
}

void TestChromiumPage::oversizedPageFailsWithoutFollowingIt()
{
    LocalHttpServer::Reply huge;
    huge.contentType = "text/plain";
    huge.body = QByteArray(20 * 1024 * 1024, 'x');
    m_server.route("/huge", huge);
    const PageOutcome outcome = load(m_server.url("/huge"));
    QVERIFY2(outcome.failure.contains(QStringLiteral("page too large")), qPrintable(outcome.failure));
    QCOMPARE(content("/plain"), QStringLiteral("Hello\n\nplain page"));
}

void TestChromiumPage::missingEngineFailsEveryRow()
{
    qputenv("TEXTORIN_CHROMIUM", "/nonexistent/chromium");
    ChromiumProcess engine;
    ChromiumPage page(engine);
    const QString reason = page.unavailableReason();
    const QList<PageOutcome> outcomes{loadRow(page, m_engine->pump, m_server.url("/plain")),
                                      loadRow(page, m_engine->pump, m_server.url("/other"))};
    qunsetenv("TEXTORIN_CHROMIUM");
    QVERIFY(reason.contains(QStringLiteral("package \"chromium-headless-shell\"")));
    for (const PageOutcome &outcome : outcomes) {
        QVERIFY(outcome.engineMissing);
        QCOMPARE(outcome.failure, reason);
    }
    QVERIFY(!engine.isRunning());
}

void TestChromiumPage::busyServersMayPassAfterTheirPause()
{
    LocalHttpServer::Reply busy;
    busy.failFirst = 1;
    busy.body = html("<p>answered</p>");
    m_server.route("/busy", busy);
    LocalHttpServer::Reply gone;
    gone.status = 404;
    m_server.route("/gone-for-good", gone);
    const PageOutcome first = load(m_server.url("/busy"));
    QVERIFY(first.mayPass);
    QCOMPARE(first.httpStatus, 503);
    // The server asked for a second.
    QCOMPARE(first.retryAfterMs, 1000);
    QCOMPARE(content("/busy"), QStringLiteral("answered"));
    QCOMPARE(m_server.hits(QStringLiteral("/busy")), 2);
    const PageOutcome missing = load(m_server.url("/gone-for-good"));
    QVERIFY(missing.failed());
    QVERIFY(!missing.mayPass);
    QCOMPARE(missing.retryAfterMs, -1);
}

void TestChromiumPage::aHistoryFloodCostsNoOtherPage()
{
    m_server.page("/flood",
                  html("<p>flood</p><script>for (let n = 0;; ++n) history.pushState(null, '', '?' + n);"
                       "</script>"));
    EngineOptions options;
    options.pageLimitMs = 10'000;
    options.settleMs = 500;
    const QList<TimedOutcome> rows =
        loadAtOnce({m_server.url("/plain"), m_server.url("/flood"), m_server.url("/other"), m_server.url("/utf8")},
                   options, m_engine->pump);
    const QStringList texts{
        QStringLiteral("Hello\n\nplain page"), {}, QStringLiteral("other page"), QStringLiteral("Grüße — 日本語 ✓")};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const TimedOutcome &row = rows.at(i);
        if (i != 1) {
            QVERIFY2(!row.outcome.failed(), qPrintable(row.outcome.failure));
            QCOMPARE(row.outcome.content, texts.at(i));
        }
        // Every row, the flood's own too, ends within its limit (and a margin for the engine).
        QVERIFY2(row.ms >= 0 && row.ms < options.pageLimitMs + 6000, qPrintable(QString::number(row.ms)));
    }
}

void TestChromiumPage::aSpinningFrameOfAnotherSiteCostsItsPageNothing()
{
    // Another site's frame runs in a process of its own: its endless script
    // blocks neither the page's load nor its timers.
    m_server.page("/spin", html("<script>onload = () => setTimeout(() => { for (;;) {} });</script>"));
    const QString frame = m_server.url("/spin").replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"));
    m_server.page("/framed",
                  html(QStringLiteral("<p>outer</p><iframe src='%1'></iframe><script>onload = () => "
                                      "setTimeout(() => document.body.append('timer ran'), 100);</script>")
                           .arg(frame)
                           .toUtf8()));
    const PageOutcome outcome = load(m_server.url("/framed"));
    QVERIFY2(!outcome.failed(), qPrintable(outcome.failure));
    QVERIFY2(outcome.content.contains(QLatin1String("timer ran")), qPrintable(outcome.content));
}

void TestChromiumPage::stoppedAndRunawayPagesEndWithoutTheLimit()
{
    m_server.page("/stopped", html("<p>before the stop</p><script>window.stop()</script><p>after</p>"));
    // Two pages that send the page on to each other as soon as they load.
    m_server.page("/ping", html("<p>ping</p><script>onload = () => { location.href = '/pong'; };</script>"));
    m_server.page("/pong", html("<p>pong</p><script>onload = () => { location.href = '/ping'; };</script>"));
    EngineOptions options;
    options.pageLimitMs = 30'000;
    options.settleMs = 500;
    const QList<TimedOutcome> rows =
        loadAtOnce({m_server.url("/stopped"), m_server.url("/ping")}, options, m_engine->pump);
    struct Expected {
        QString text;
        QString note;
        QString failure;
    };
    const QList<Expected> expected{
        {QStringLiteral("before the stop"), QStringLiteral("load incomplete"), {}},
        {{}, {}, QStringLiteral("too many script navigations")},
    };
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const PageOutcome &outcome = rows.at(i).outcome;
        QCOMPARE(outcome.failure, expected.at(i).failure);
        QCOMPARE(outcome.content, expected.at(i).text);
        QCOMPARE(outcome.note, expected.at(i).note);
        QVERIFY2(rows.at(i).ms >= 0 && rows.at(i).ms < options.pageLimitMs / 3,
                 qPrintable(QString::number(rows.at(i).ms)));
    }
}

void TestChromiumPage::abortedRowsAndAnIdleEngineLeaveNothingRunning()
{
    LocalHttpServer::Reply stall;
    stall.neverFinish = true;
    stall.headers = "Set-Cookie: aborted=1; Max-Age=999\r\n";
    stall.body = "<html><body><p>partial";
    m_server.route("/stall-cookie", stall);
    LocalHttpServer::Reply slow;
    slow.delayMs = 800;
    slow.body = html("<p>slow page</p>");
    m_server.route("/slow", slow);
    EngineOptions options;
    options.pageLimitMs = 30'000;
    LiveEngine engine(options);
    const RendererMemoryWatch &watch = engine.process.memoryWatch();
    QCOMPARE(engine.load(m_server.url("/plain")).content, QStringLiteral("Hello\n\nplain page"));
    const auto startHanging = [&](const QByteArray &path, int settleMs) {
        const int hits = m_server.hits(QString::fromLatin1(path));
        engine.page.load(m_server.url(QString::fromLatin1(path)));
        const QDeadlineTimer deadline(10'000);
        while (m_server.hits(QString::fromLatin1(path)) == hits && !deadline.hasExpired())
            engine.pump.waitForEvents(50);
        QTest::qWait(settleMs);
    };

    // A row whose server never answers ends at once, and with it the memory watch.
    startHanging("/silent", 0);
    QVERIFY(watch.isSampling());
    QVERIFY(!engine.page.isDone());
    QElapsedTimer clock;
    clock.start();
    engine.page.abort();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!engine.page.isDone());
    QCOMPARE(engine.browser.rowsLoading(), 0);
    QVERIFY(!watch.isSampling());
    const quint64 reads = ChildProcesses::procReads();
    QTest::qWait(600);
    QCOMPARE(ChildProcesses::procReads(), reads);

    // What an aborted row set is kept nowhere; the page goes on with the next row.
    startHanging("/stall-cookie", 500);
    engine.page.abort();
    QCOMPARE(engine.load(m_server.url("/other")).content, QStringLiteral("other page"));
    for (const BrowserCookie &cookie : engine.browser.cookies())
        QVERIFY(cookie.name != QLatin1String("aborted"));

    // An engine idle past its limit is stopped whole (never while a row loads),
    // and the next row starts it again.
    engine.browser.setIdleLimit(300);
    QCOMPARE(engine.load(m_server.url("/slow")).content, QStringLiteral("slow page"));
    const qint64 pid = engine.process.processId();
    const QString profile = engine.browser.profilePath();
    const QDeadlineTimer deadline(10'000);
    while (engine.browser.isRunning() && !deadline.hasExpired())
        engine.pump.waitForEvents(100);
    QVERIFY(!engine.browser.isRunning());
    QCOMPARE(ChildProcesses::aliveInGroup(int(pid)), QList<int>());
    QVERIFY(!QFileInfo::exists(profile));
    engine.browser.setIdleLimit(0);
    clock.restart();
    QCOMPARE(engine.load(m_server.url("/other")).content, QStringLiteral("other page"));
    const qint64 cold = clock.restart();
    QCOMPARE(engine.load(m_server.url("/other")).content, QStringLiteral("other page"));
    qInfo("a small page from its load to its outcome: %lld ms on a cold engine, %lld ms on a warm one", cold,
          clock.elapsed());
}

QTEST_GUILESS_MAIN(TestChromiumPage)
#include "tst_ChromiumPage.moc"
