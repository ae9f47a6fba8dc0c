#include "engine/IEngineProcess.h"
#include "engine/chromium/ChromiumBrowser.h"
#include "engine/chromium/ChromiumPage.h"
#include "engine/chromium/PageSession.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSet>
#include <QtTest>

namespace {

const QString Session = QStringLiteral("sessionId");

// A browser process that records the commands written to it; the test answers
// them and sends the events.
class ScriptedProcess : public IEngineProcess
{
public:
    bool start(const QString &, const QStringList &, const QStringList &, QString *) override
    {
        running = true;
        return true;
    }
    bool isRunning() const override { return running; }
    void write(const QByteArray &bytes) override
    {
        commands.append(QJsonDocument::fromJson(bytes.chopped(1)).object());
    }
    void stop() override { running = false; }
    void setRendererMemoryCap(qint64) override {}

    // Answers the newest unanswered command `method`; false when there is none.
    bool answer(const QString &method, const QJsonObject &result = {})
    {
        for (auto it = commands.crbegin(); it != commands.crend(); ++it) {
            const QJsonObject &command = *it;
            const int id = command.value(QStringLiteral("id")).toInt();
            if (command.value(QStringLiteral("method")).toString() != method || answered.contains(id))
                continue;
            answered.insert(id);
            send({{QStringLiteral("id"), id}, {QStringLiteral("result"), result}});
            return true;
        }
        return false;
    }
    void event(const QString &method, const QJsonObject &params, const QString &session = {})
    {
        QJsonObject message{{QStringLiteral("method"), method}, {QStringLiteral("params"), params}};
        if (!session.isEmpty())
            message.insert(Session, session);
        send(message);
    }

    bool running = false;
    QList<QJsonObject> commands;
    QSet<int> answered;

private:
    void send(const QJsonObject &message)
    {
        Q_EMIT bytesReceived(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0');
    }
};

} // namespace

class TestChromiumPageProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void failedDocumentsCarryTheirStatusAndNoRowKeepsAnother();
    void aDownloadFails();
    void aRowDisplacedByALeftoverNavigationIsNavigatedAgain();
    void eventsOfAnotherPageNeverReachThisOne();
    void aPageGoneBeforeItsReplyIsLeftAlone();
    void credentialsAnswerTheirOwnChallengesOnce();
    void headersGoToTheAddressOwnOriginOnly();
    void everyHandlerOfAnEventHearsItInTurn();
    void repliesReachOnlyTheRowsContext();

private:
    // Answers the opening of a page as `name`: its context, target and session ids are name-derived.
    bool open(const QString &name);
    // Loads `row` in `page` and answers the opening of its page as `name` and the navigation.
    bool loadAndOpen(ChromiumPage &page, const QString &name, const QString &row = {});
    // The main document of page `name` arrives, by default on its own session.
    void respond(const QString &name, int status, const QJsonObject &headers = {}, const QString &session = {});
    // The browser contexts named by the commands `method` sent so far.
    QStringList sent(const QString &method) const;

    std::unique_ptr<ScriptedProcess> m_process;
    std::unique_ptr<ChromiumBrowser> m_browser;
};

void TestChromiumPageProtocol::initTestCase()
{
    // Any executable file stands in for the engine's program.
    qputenv("TEXTORIN_CHROMIUM", QCoreApplication::applicationFilePath().toLocal8Bit());
}

void TestChromiumPageProtocol::init()
{
    m_browser.reset();
    m_process = std::make_unique<ScriptedProcess>();
    EngineOptions options;
    options.settleMs = 0;
    m_browser = std::make_unique<ChromiumBrowser>(*m_process, options);
}

bool TestChromiumPageProtocol::open(const QString &name)
{
    return m_process->answer(QStringLiteral("Target.createBrowserContext"),
                             {{QStringLiteral("browserContextId"), QStringLiteral("C") + name}})
        && m_process->answer(QStringLiteral("Target.createTarget"),
                             {{QStringLiteral("targetId"), QStringLiteral("T") + name}})
        && m_process->answer(QStringLiteral("Target.attachToTarget"), {{Session, QStringLiteral("S") + name}})
        && m_process->answer(QStringLiteral("Emulation.setDeviceMetricsOverride"));
}

bool TestChromiumPageProtocol::loadAndOpen(ChromiumPage &page, const QString &name, const QString &row)
{
    page.load(row.isEmpty() ? QStringLiteral("http://127.0.0.1:9/") + name : row);
    return open(name)
        && m_process->answer(QStringLiteral("Page.navigate"),
                             {{QStringLiteral("loaderId"), QStringLiteral("L") + name}});
}

void TestChromiumPageProtocol::respond(const QString &name, int status, const QJsonObject &headers,
                                       const QString &session)
{
    const QString on = session.isEmpty() ? QStringLiteral("S") + name : session;
    const QJsonObject request{{QStringLiteral("requestId"), QStringLiteral("L") + name},
                              {QStringLiteral("type"), QStringLiteral("Document")},
                              {QStringLiteral("frameId"), QStringLiteral("T") + name}};
    QJsonObject response = request;
    response.insert(QStringLiteral("response"),
                    QJsonObject{{QStringLiteral("status"), status},
                                {QStringLiteral("headers"), headers},
                                {QStringLiteral("mimeType"), QStringLiteral("text/html")}});
    m_process->event(QStringLiteral("Network.requestWillBeSent"), request, on);
    m_process->event(QStringLiteral("Network.responseReceived"), response, on);
}

QStringList TestChromiumPageProtocol::sent(const QString &method) const
{
    QStringList contexts;
    for (const QJsonObject &command : std::as_const(m_process->commands)) {
        if (command.value(QStringLiteral("method")).toString() == method)
            contexts << command.value(QStringLiteral("params"))
                            .toObject()
                            .value(QStringLiteral("browserContextId"))
                            .toString();
    }
    return contexts;
}

void TestChromiumPageProtocol::failedDocumentsCarryTheirStatusAndNoRowKeepsAnother()
{
    ChromiumPage page(*m_browser);
    QVERIFY(loadAndOpen(page, QStringLiteral("1")));
    respond(QStringLiteral("1"), 404);
    QVERIFY(page.isDone());
    PageOutcome outcome = page.takeOutcome();
    QCOMPARE(outcome.failure, QStringLiteral("HTTP error 404 Not Found"));
    QCOMPARE(outcome.httpStatus, 404);
    QCOMPARE(outcome.contentType, QStringLiteral("text/html"));
    QVERIFY(!outcome.mayPass);

    // The next row has a context of its own, opened while the row loaded; the
    // last one goes once its cookies are read.
    QCOMPARE(sent(QStringLiteral("Target.createBrowserContext")).size(), 2);
    QVERIFY(loadAndOpen(page, QStringLiteral("2"), QStringLiteral("http://127.0.0.1:9/busy")));
    QVERIFY(!sent(QStringLiteral("Target.disposeBrowserContext")).contains(QStringLiteral("C1")));
    QVERIFY(m_process->answer(QStringLiteral("Storage.getCookies")));
    QCOMPARE(sent(QStringLiteral("Target.disposeBrowserContext")), QStringList{QStringLiteral("C1")});
    respond(QStringLiteral("2"), 503, {{QStringLiteral("Retry-After"), QStringLiteral("2")}});
    outcome = page.takeOutcome();
    QCOMPARE(outcome.httpStatus, 503);
    QVERIFY(outcome.mayPass);
    QCOMPARE(outcome.retryAfterMs, 2000);

    page.load(QStringLiteral("ftp://127.0.0.1/x"));
    QVERIFY(page.isDone());
    outcome = page.takeOutcome();
    QVERIFY(outcome.failure.contains(QStringLiteral("unsupported scheme")));
    QCOMPARE(outcome.httpStatus, 0);
    QCOMPARE(outcome.contentType, QString());
    QCOMPARE(outcome.retryAfterMs, -1);
    QVERIFY(!outcome.mayPass);
}

void TestChromiumPageProtocol::aDownloadFails()
{
    ChromiumPage page(*m_browser);
    QVERIFY(loadAndOpen(page, QStringLiteral("1")));
    // A download of another frame is not the page's.
    m_process->event(QStringLiteral("Browser.downloadWillBegin"), {{QStringLiteral("frameId"), QStringLiteral("F9")}});
    QVERIFY(!page.isDone());
    m_process->event(QStringLiteral("Browser.downloadWillBegin"), {{QStringLiteral("frameId"), QStringLiteral("T1")}});
    QVERIFY(page.isDone());
    QCOMPARE(page.takeOutcome().failure, QStringLiteral("the address is a download, not a page"));
}

void TestChromiumPageProtocol::aRowDisplacedByALeftoverNavigationIsNavigatedAgain()
{
    ChromiumPage page(*m_browser);
    page.load(QStringLiteral("http://127.0.0.1:9/1"));
    QVERIFY(m_process->answer(QStringLiteral("Target.createBrowserContext"),
                              {{QStringLiteral("browserContextId"), QStringLiteral("C1")}}));
    QVERIFY(
        m_process->answer(QStringLiteral("Target.createTarget"), {{QStringLiteral("targetId"), QStringLiteral("T1")}}));
    QVERIFY(m_process->answer(QStringLiteral("Target.attachToTarget"), {{Session, QStringLiteral("S1")}}));
    QVERIFY(m_process->answer(QStringLiteral("Emulation.setDeviceMetricsOverride")));
    const auto started = [this](const char *loader) {
        m_process->event(
            QStringLiteral("Page.frameStartedNavigating"),
            {{QStringLiteral("frameId"), QStringLiteral("T1")}, {QStringLiteral("loaderId"), QLatin1String(loader)}},
            QStringLiteral("S1"));
    };
    // The last page's reload starts after the row's own navigation and aborts it.
    started("L1");
    QVERIFY(m_process->answer(QStringLiteral("Page.navigate"),
                              {{QStringLiteral("loaderId"), QStringLiteral("L1")},
                               {QStringLiteral("errorText"), QStringLiteral("net::ERR_ABORTED")}}));
    QVERIFY(!page.isDone());
    started("reload");
    QVERIFY(!page.isDone());
    QVERIFY(m_process->answer(QStringLiteral("Page.navigate"), {{QStringLiteral("loaderId"), QStringLiteral("L1")}}));
    respond(QStringLiteral("1"), 200);
    m_process->event(QStringLiteral("Page.lifecycleEvent"),
                     {{QStringLiteral("frameId"), QStringLiteral("T1")},
                      {QStringLiteral("loaderId"), QStringLiteral("L1")},
                      {QStringLiteral("name"), QStringLiteral("load")}},
                     QStringLiteral("S1"));
    QVERIFY(m_process->answer(
        QStringLiteral("Runtime.evaluate"),
        {{QStringLiteral("result"),
          QJsonObject{{QStringLiteral("value"), QJsonObject{{QStringLiteral("text"), QStringLiteral("own")}}}}}}));
    QVERIFY(page.isDone());
    QCOMPARE(page.takeOutcome().content, QStringLiteral("own"));
}

void TestChromiumPageProtocol::eventsOfAnotherPageNeverReachThisOne()
{
    ChromiumPage first(*m_browser);
    ChromiumPage second(*m_browser);
    QVERIFY(loadAndOpen(first, QStringLiteral("1")));
    QVERIFY(loadAndOpen(second, QStringLiteral("2")));
    // The second page's session and target fail; the first loads on.
    respond(QStringLiteral("1"), 404, {}, QStringLiteral("S2"));
    respond(QStringLiteral("2"), 404);
    m_process->event(QStringLiteral("Target.targetCrashed"), {{QStringLiteral("targetId"), QStringLiteral("T2")}});
    QVERIFY(second.isDone());
    QVERIFY(!first.isDone());

    respond(QStringLiteral("1"), 200);
    m_process->event(QStringLiteral("Page.lifecycleEvent"),
                     {{QStringLiteral("frameId"), QStringLiteral("T1")},
                      {QStringLiteral("loaderId"), QStringLiteral("L1")},
                      {QStringLiteral("name"), QStringLiteral("load")}},
                     QStringLiteral("S1"));
    const QJsonObject text{{QStringLiteral("text"), QStringLiteral("first page")},
                           {QStringLiteral("lang"), QStringLiteral("en")},
                           {QStringLiteral("finalUrl"), QStringLiteral("http://127.0.0.1:9/1")}};
    QVERIFY(m_process->answer(QStringLiteral("Runtime.evaluate"),
                              {{QStringLiteral("result"), QJsonObject{{QStringLiteral("value"), text}}}}));
    QVERIFY(first.isDone());
    const PageOutcome outcome = first.takeOutcome();
    QVERIFY2(!outcome.failed(), qPrintable(outcome.failure));
    QCOMPARE(outcome.content, QStringLiteral("first page"));
    QCOMPARE(outcome.httpStatus, 200);
    QCOMPARE(outcome.lang, QStringLiteral("en"));
    QCOMPARE(outcome.finalUrl, QStringLiteral("http://127.0.0.1:9/1"));
}

void TestChromiumPageProtocol::aPageGoneBeforeItsReplyIsLeftAlone()
{
    auto page = std::make_unique<ChromiumPage>(*m_browser);
    page->load(QStringLiteral("http://127.0.0.1:9/"));
    page.reset();
    QVERIFY(m_process->answer(QStringLiteral("Target.createBrowserContext"),
                              {{QStringLiteral("browserContextId"), QStringLiteral("C1")}}));
    QVERIFY(!m_process->answer(QStringLiteral("Target.createTarget")));
}

void TestChromiumPageProtocol::credentialsAnswerTheirOwnChallengesOnce()
{
    EngineOptions options = m_browser->options();
    options.authUser = QStringLiteral("user");
    options.authPassword = QStringLiteral("pass");
    options.proxyUser = QStringLiteral("proxy-user");
    options.proxyPassword = QStringLiteral("proxy-pass");
    m_browser->setOptions(options);
    ChromiumPage page(*m_browser);
    QVERIFY(loadAndOpen(page, QStringLiteral("1")));
    struct Challenge {
        const char *requestId;
        const char *url;
        const char *source;
        const char *user; // null: refused
    };
    const QList<Challenge> challenges{
        {"r1", "http://127.0.0.1:9/1", "Server", "user"},
        {"r1", "http://127.0.0.1:9/1", "Server", nullptr}, // asked again: the credentials were wrong
        {"r2", "http://other.test/", "Server", nullptr},
        {"r4", "http://127.0.0.1:10/", "Server", nullptr}, // another port
        {"r5", "https://127.0.0.1:9/", "Server", nullptr}, // another scheme
        {"r3", "http://other.test/", "Proxy", "proxy-user"},
        {"r3", "http://other.test/", "Proxy", nullptr},
    };
    for (const Challenge &challenge : challenges) {
        m_process->event(
            QStringLiteral("Fetch.authRequired"),
            {{QStringLiteral("requestId"), QLatin1String(challenge.requestId)},
             {QStringLiteral("request"), QJsonObject{{QStringLiteral("url"), QLatin1String(challenge.url)}}},
             {QStringLiteral("authChallenge"),
              QJsonObject{{QStringLiteral("source"), QLatin1String(challenge.source)}}}},
            QStringLiteral("S1"));
        const QJsonObject command = m_process->commands.last();
        QCOMPARE(command.value(QStringLiteral("method")).toString(), QStringLiteral("Fetch.continueWithAuth"));
        const QJsonObject answer = command.value(QStringLiteral("params"))
                                       .toObject()
                                       .value(QStringLiteral("authChallengeResponse"))
                                       .toObject();
        QCOMPARE(answer.value(QStringLiteral("response")).toString(),
                 challenge.user ? QStringLiteral("ProvideCredentials") : QStringLiteral("CancelAuth"));
        QCOMPARE(answer.value(QStringLiteral("username")).toString(), QLatin1String(challenge.user));
    }
    respond(QStringLiteral("1"), 401);
    QCOMPARE(page.takeOutcome().failure,
             QStringLiteral("HTTP error 401 Unauthorized; credentials not sent to http://other.test:80, "
                            "http://127.0.0.1:10, https://127.0.0.1:9, not the address's origin"));
}

void TestChromiumPageProtocol::headersGoToTheAddressOwnOriginOnly()
{
    EngineOptions options = m_browser->options();
    options.headers = {{QStringLiteral("Authorization"), QStringLiteral("Bearer t")}};
    m_browser->setOptions(options);
    ChromiumPage page(*m_browser);
    QVERIFY(loadAndOpen(page, QStringLiteral("1"), QStringLiteral("https://127.0.0.1:9/1")));
    const QList<std::pair<const char *, bool>> requests{
        {"https://127.0.0.1:9/style.css", true},
        {"http://127.0.0.1:9/1", false}, // plain http after https
        {"https://127.0.0.1:10/1", false}, // another port
        {"https://localhost:9/1", false}, // another host
    };
    for (const auto &[url, withHeader] : requests) {
        m_process->event(
            QStringLiteral("Fetch.requestPaused"),
            {{QStringLiteral("requestId"), QLatin1String(url)},
             {QStringLiteral("resourceType"), QStringLiteral("Document")},
             {QStringLiteral("frameId"), QStringLiteral("T1")},
             {QStringLiteral("request"),
              QJsonObject{{QStringLiteral("url"), QLatin1String(url)}, {QStringLiteral("headers"), QJsonObject()}}}},
            QStringLiteral("S1"));
        const QJsonObject params = m_process->commands.last().value(QStringLiteral("params")).toObject();
        QCOMPARE(params.value(QStringLiteral("requestId")).toString(), QLatin1String(url));
        QCOMPARE(params.contains(QStringLiteral("headers")), withHeader);
    }
}

void TestChromiumPageProtocol::everyHandlerOfAnEventHearsItInTurn()
{
    QString failure;
    QVERIFY2(m_browser->ensureRunning(&failure), qPrintable(failure));
    PageSession session(*m_browser);
    QStringList heard;
    const QString failed = QStringLiteral("Network.loadingFailed");
    for (const QString &handler : {QStringLiteral("first"), QStringLiteral("second")}) {
        session.on(failed, [&heard, handler](const QJsonObject &params) {
            heard << handler + QLatin1Char(' ') + params.value(QStringLiteral("requestId")).toString();
        });
    }
    session.on(QStringLiteral("Network.loadingFinished"),
               [&heard](const QJsonObject &) { heard << QStringLiteral("finished"); });
    session.open();
    QVERIFY(open(QStringLiteral("1")));
    m_process->event(failed, {{QStringLiteral("requestId"), QStringLiteral("r1")}}, QStringLiteral("S1"));
    QCOMPARE(heard, (QStringList{QStringLiteral("first r1"), QStringLiteral("second r1")}));
}

void TestChromiumPageProtocol::repliesReachOnlyTheRowsContext()
{
    QString failure;
    QVERIFY2(m_browser->ensureRunning(&failure), qPrintable(failure));
    PageSession session(*m_browser);
    session.open();
    QVERIFY(open(QStringLiteral("1")));
    QStringList replied;
    const auto evaluate = [&](const QString &expression) {
        session.send(QStringLiteral("Runtime.evaluate"), {{QStringLiteral("expression"), expression}},
                     [&replied, expression](const QJsonObject &, const QString &) { replied << expression; });
    };
    session.startRow(QStringLiteral("127.0.0.1"), {}, [](const QString &) {});
    evaluate(QStringLiteral("1"));
    // The row ends and its context is replaced (it lives on until its cookies are
    // read): the rest of its replies go nowhere.
    session.endRow();
    QVERIFY(m_process->answer(QStringLiteral("Runtime.evaluate")));
    QVERIFY(open(QStringLiteral("2")));
    evaluate(QStringLiteral("2"));
    QVERIFY(m_process->answer(QStringLiteral("Runtime.evaluate")));
    QCOMPARE(replied, QStringList{QStringLiteral("2")});
}

QTEST_GUILESS_MAIN(TestChromiumPageProtocol)
#include "tst_ChromiumPageProtocol.moc"
