#include "fakes/LiveEngine.h"
#include "fakes/LocalHttpServer.h"
#include "process/ChildProcesses.h"

#include <QCoreApplication>
#include <QtTest>

namespace {

// Links of every kind the crawl takes or leaves: in the head, built by script
// (one by a timer before the settle ends), in nested open shadow trees, in a
// same-origin frame (resolved against its own address) and a cross-origin one.
QByteArray linksPage(quint16 port)
{
    const QByteArray otherOrigin = "http://localhost:" + QByteArray::number(port);
    return html("<a href='other.html'>relative</a><a href='#intro'>intro</a><a href='/site/page#end'>end</a>"
                "<a href='/elsewhere#part'>elsewhere</a>"
                "<a href='javascript:void(0)'>js</a><a href='mailto:a@example.com'>mail</a>"
                "<a href='data:text/html,x'>data</a><a href='tel:123'>tel</a><a href='about:blank'>blank</a>"
                "<a href='ftp://127.0.0.1/file'>ftp</a><a href='http://[bad'>bad</a>"
                "<a href='other.html'>again</a><a href='/shunned' rel='external NoFollow'>shunned</a>"
                "<a href='/both' rel=nofollow>both</a><a href='/both'>both again</a>"
                "<map name=m><area href='/area' shape=rect coords='0,0,1,1'></map><a>no address</a>"
                "<div id=host></div><iframe src='/frame/doc'></iframe><iframe src='"
                    + otherOrigin
                    + "/frame/doc'></iframe>"
                      "<script>const root = host.attachShadow({ mode: 'open' });"
                      " root.innerHTML = '<a href=/shadow>shadow</a><span></span>';"
                      " root.querySelector('span').attachShadow({ mode: 'open' }).innerHTML = '<a href=/deeper>d</a>';"
                      " const append = (path) => { const a = document.createElement('a'); a.href = path;"
                      " a.textContent = path; document.body.append(a); };"
                      " onload = () => { append('/scripted'); setTimeout(() => append('/timer'), 100); };</script>",
                "<link rel=canonical href=canon><link rel='prefetch next' href=page2>"
                "<meta name=description content='nofollow none'>");
}

// Links past the most a page gives.
const QByteArray ManyLinksPage = html("<script>for (let n = 0; n < 20010; ++n) {"
                                      " const a = document.createElement('a'); a.href = '/n' + n;"
                                      " document.body.append(a); }</script>");

} // namespace

class TestPageLinks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase();
    void pagesAnswerTheLinksACrawlFollows();
};

void TestPageLinks::cleanupTestCase()
{
    QVERIFY(ChildProcesses::descendants(int(QCoreApplication::applicationPid())).isEmpty());
}

void TestPageLinks::pagesAnswerTheLinksACrawlFollows()
{
    LocalHttpServer server;
    QVERIFY(server.listen());
    server.page("/site/page", linksPage(server.port()));
    server.page("/frame/doc", html("<a href=inner>inner</a><a href='#local'>local</a>"));
    server.page("/based/page",
                html("<a href=x>x</a><a href='#frag'>frag</a><a href='/based/page#own'>own</a>",
                     "<base href='/root/'><meta name=ROBOTS content='noindex,NOFOLLOW'>"));
    server.page("/none", html("<a href=/c>c</a>", "<meta name=robots content=none>"));
    server.page("/many", ManyLinksPage);
    const auto at = [&server](const QStringList &paths) {
        QStringList urls;
        for (const QString &path : paths)
            urls.append(path.startsWith(QLatin1String("http")) ? path : server.url(path));
        return urls;
    };
    const QString crossOrigin = QStringLiteral("http://localhost:%1/frame/doc").arg(server.port());
    const PageLinks all{at({"/site/page2", "/site/other.html", "/elsewhere#part", "/both", "/area", "/shadow",
                            "/deeper", "/frame/doc", "/frame/inner", crossOrigin, "/scripted", "/timer"}),
                        at({"/shunned"}), false, server.url("/site/canon")};
    QStringList many;
    for (int n = 0; n < 20000; ++n)
        many.append(server.url(QStringLiteral("/n%1").arg(n)));

    struct Case {
        const char *name;
        QString path;
        EngineOptions::PageForm form;
        bool mainContent;
        bool collect;
        PageLinks expected;
    };
    const QList<Case> cases{
        {"not asked", "/site/page", EngineOptions::PageForm::Text, false, false, {}},
        {"text", "/site/page", EngineOptions::PageForm::Text, false, true, all},
        {"markdown, main content", "/site/page", EngineOptions::PageForm::Markdown, true, true, all},
        {"base and meta robots nofollow", "/based/page", EngineOptions::PageForm::Text, false, true,
         PageLinks{at({"/root/x", "/root/#frag"}), {}, true, {}}},
        {"meta robots none", "/none", EngineOptions::PageForm::Text, false, true, PageLinks{at({"/c"}), {}, true, {}}},
        {"the first 20,000", "/many", EngineOptions::PageForm::Html, false, true, PageLinks{many, {}, false, {}}},
    };
    EngineOptions options;
    LiveEngine engine(options);
    qint64 enginePid = 0;
    for (const Case &test : cases) {
        options.form = test.form;
        options.mainContent = test.mainContent;
        options.collectLinks = test.collect;
        engine.browser.setOptions(options);
        const PageOutcome outcome = engine.load(server.url(test.path));
        QVERIFY2(!outcome.failed(), qPrintable(QString::fromUtf8(test.name) + QStringLiteral(": ") + outcome.failure));
        // Script options: the engine goes on as it was.
        if (enginePid == 0)
            enginePid = engine.process.processId();
        QCOMPARE(engine.process.processId(), enginePid);
        const PageLinks &links = outcome.links;
        QVERIFY2(links.follow == test.expected.follow,
                 qPrintable(QString::fromUtf8(test.name) + QStringLiteral(": ") + links.follow.join(u' ')));
        QVERIFY2(links.nofollow == test.expected.nofollow, test.name);
        QVERIFY2(links.pageNofollow == test.expected.pageNofollow, test.name);
        QVERIFY2(links.canonical == test.expected.canonical, qPrintable(links.canonical));
    }
}

QTEST_GUILESS_MAIN(TestPageLinks)
#include "tst_PageLinks.moc"
