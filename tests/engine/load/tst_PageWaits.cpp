#include "fakes/LiveEngine.h"
#include "fakes/LocalHttpServer.h"
#include "process/ChildProcesses.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <functional>

namespace {

// Text added by a timer a second after the load event.
const QByteArray LatePage = html("<p>early</p><script>onload = () => setTimeout(() => {"
                                 " const p = document.createElement('p'); p.id = 'late';"
                                 " p.textContent = 'late text'; document.body.append(p); }, 1000);</script>");

// Sections added whenever a sentinel at the bottom comes into view, six rounds,
// on the page and in a scrolling pane of its own; the page shows where it is scrolled to.
const QByteArray EndlessPage =
    html("<p id=pos>not scrolled</p><div style='height:1500px'>top</div>"
         "<div id=feed></div><div id=end style='height:10px'></div>"
         "<div id=pane style='height:200px;overflow:auto'><div style='height:300px'>pane top</div>"
         "<div id=paneFeed></div><div id=paneEnd style='height:10px'></div></div>"
         "<script>"
         "addEventListener('scroll', () => { pos.textContent = 'scrolled to ' + scrollY; });"
         "const endless = (feed, end, name, root) => { let n = 0; new IntersectionObserver((entries) => {"
         " if (!entries.some(e => e.isIntersecting) || n == 6) return;"
         " const p = document.createElement('p'); p.style.height = root ? '150px' : '600px';"
         " p.textContent = name + ' ' + ++n; feed.append(p); }, { root }).observe(end); };"
         "endless(feed, end, 'section', null); endless(paneFeed, paneEnd, 'pane item', pane);"
         "</script>");

// An open shadow tree with a slot, a same-origin frame and a cross-origin one.
QByteArray composedPage(quint16 port)
{
    return html("<p>before</p>"
                "<x-card><span slot=title>slotted title</span><span>unslotted</span></x-card>"
                "<iframe src=/frame></iframe>"
                "<iframe src='http://localhost:"
                + QByteArray::number(port)
                + "/frame'></iframe>"
                  "<p>after</p><script>customElements.define('x-card', class extends HTMLElement {"
                  " constructor() { super(); this.attachShadow({ mode: 'open' }).innerHTML ="
                  " '<style>h2 { color: red }</style><h2>shadow heading</h2>"
                  "<slot name=title></slot> <p>shadow para</p>'; } });</script>");
}

} // namespace

class TestPageWaits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase();
    void rowsWaitForWhatTheirOptionsAsk();
    void emptyShadowHostsLeaveTheTextAsItWas();
};

void TestPageWaits::cleanupTestCase()
{
    QVERIFY(ChildProcesses::descendants(int(QCoreApplication::applicationPid())).isEmpty());
}

void TestPageWaits::rowsWaitForWhatTheirOptionsAsk()
{
    LocalHttpServer server;
    QVERIFY(server.listen());
    server.page("/late", LatePage);
    server.page("/endless", EndlessPage);
    server.page("/composed", composedPage(server.port()));
    server.page("/frame", html("<p>frame text</p>"));
    server.page("/contents", html("<div style='display:contents'><p>in a box-less div</p></div>"));
    server.page("/spin",
                html("<p>spins</p><script>onload = () => setTimeout(() => { for (;;) {} }, 300);"
                     "</script>"));
    LocalHttpServer::Reply silent;
    silent.silent = true;
    server.route("/silent", silent);
    server.page("/stalled", html("<p>stalled image</p><img src=/silent>"));

    using Options = std::function<void(EngineOptions &)>;
    struct Case {
        const char *name;
        QString path;
        Options options;
        QStringList present; // in this order
        QStringList absent;
        QString note;
        QString failure; // part of it
    };
    const auto selector = [](const char *css, bool require = false) {
        return [css, require](EngineOptions &options) {
            options.waitForSelector = QString::fromUtf8(css);
            options.requireSelector = require;
        };
    };
    const QStringList late{QStringLiteral("late text")};
    const QList<Case> cases{
        {"no wait", "/late", {}, {QStringLiteral("early")}, late, {}, {}},
        {"selector", "/late", selector("p[id=\"late\"]"), late, {}, {}, {}},
        {"delay", "/late", [](EngineOptions &o) { o.delayMs = 2500; }, late, {}, {}, {}},
        {"selector never shown",
         "/late",
         selector("#late[hidden]"),
         {QStringLiteral("early")},
         {},
         QStringLiteral("selector not found"),
         {}},
        {"selector required",
         "/late",
         selector("#late[hidden]", true),
         {},
         {},
         {},
         QStringLiteral("selector not found")},
        {"invalid selector",
         "/late",
         selector("p:no-such-class"),
         {},
         {},
         {},
         QStringLiteral("invalid selector: p:no-such-class")},
        {"both notes",
         "/stalled",
         selector("#none"),
         {QStringLiteral("stalled image")},
         {},
         QStringLiteral("load incomplete; selector not found"),
         {}},
        {"spinning while polled", "/spin", selector("#none"), {}, {}, {}, QStringLiteral("did not yield")},
        {"no scroll", "/endless", {}, {QStringLiteral("not scrolled")}, {QStringLiteral("section 1")}, {}, {}},
        {"scroll",
         "/endless",
         [](EngineOptions &o) { o.scroll = true; },
         {QStringLiteral("scrolled to 0"), QStringLiteral("section 1"), QStringLiteral("section 6"),
          QStringLiteral("pane item 1"), QStringLiteral("pane item 6")},
         {},
         {},
         {}},
        {"shadow and frames",
         "/composed",
         {},
         {QStringLiteral("before\n\nshadow heading\nslotted title\n\nshadow para\n\nframe text\n\nafter")},
         {QStringLiteral("unslotted"), QStringLiteral("color")},
         {},
         {}},
        {"shadow and frames, markdown",
         "/composed",
         [](EngineOptions &o) { o.form = EngineOptions::PageForm::Markdown; },
         {QStringLiteral("before"), QStringLiteral("## shadow heading"), QStringLiteral("slotted title"),
          QStringLiteral("shadow para"), QStringLiteral("frame text"), QStringLiteral("after")},
         {QStringLiteral("unslotted")},
         {},
         {}},
        {"box-less element, markdown",
         "/contents",
         [](EngineOptions &o) { o.form = EngineOptions::PageForm::Markdown; },
         {QStringLiteral("in a box-less div")},
         {},
         {},
         {}},
    };

    // One engine for all, a page for each row: its options are all page options.
    LiveEngine engine;
    for (const Case &test : cases) {
        EngineOptions options;
        options.pageLimitMs = 3000;
        if (test.options)
            test.options(options);
        engine.browser.setOptions(options);
        QElapsedTimer clock;
        clock.start();
        const PageOutcome outcome = engine.loadInNewPage(server.url(test.path));
        const qint64 took = clock.elapsed();

        const QByteArray context =
            QByteArray(test.name) + ": " + outcome.failure.toUtf8() + " | " + outcome.content.toUtf8();
        QVERIFY2(test.failure.isEmpty() ? !outcome.failed() : outcome.failure.contains(test.failure),
                 context.constData());
        QCOMPARE(outcome.note, test.note);
        qsizetype from = 0;
        for (const QString &part : test.present) {
            from = outcome.content.indexOf(part, from);
            QVERIFY2(from >= 0, qPrintable(context + " lacks " + part.toUtf8()));
        }
        for (const QString &part : test.absent)
            QVERIFY2(!outcome.content.contains(part), qPrintable(context + " has " + part.toUtf8()));
        // Every wait ends with the page limit (counted from the navigation; the engine starts first).
        QVERIFY2(took < options.pageLimitMs + options.settleMs + 10'000,
                 qPrintable(context + ' ' + QByteArray::number(took)));
    }
    engine.shutdown();
}

void TestPageWaits::emptyShadowHostsLeaveTheTextAsItWas()
{
    // A long page of every kind of block, list and table, its text taken by
    // innerText, and by the walk of composed.js once every fifth element holds a
    // shadow host (the rest is taken by innerText within the walk).
    QFile manual(QStringLiteral("/usr/share/doc/ninja-build/manual.html"));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    const QByteArray text = manual.readAll();
    LocalHttpServer server;
    QVERIFY(server.listen());
    server.page("/plain", text);
    server.page("/hosts",
                QByteArray(text).replace(
                    "</body>",
                    "<script>document.body.querySelectorAll('*').forEach((element, i) => {"
                    " if (i % 5 == 0 && element.localName !== 'script') element.append("
                    "document.createElement('span').attachShadow({ mode: 'open' }).host); });</script></body>"));
    EngineOptions options;
    options.settleMs = 0;
    LiveEngine engine(options);
    QStringList texts;
    for (const char *path : {"/plain", "/hosts"}) {
        const PageOutcome outcome = engine.load(server.url(QString::fromLatin1(path)));
        QVERIFY2(!outcome.failed(), qPrintable(outcome.failure));
        texts.append(outcome.content);
    }
    engine.shutdown();
    QVERIFY(texts.at(0).size() > 10'000);
    QCOMPARE(texts.at(1), texts.at(0));
}

QTEST_GUILESS_MAIN(TestPageWaits)
#include "tst_PageWaits.moc"
