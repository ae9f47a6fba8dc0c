#include "fakes/LiveEngine.h"
#include "fakes/LocalHttpServer.h"
#include "process/ChildProcesses.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

namespace {

using Form = EngineOptions::PageForm;

// A PDF of two pages, one line of text on each.
QByteArray twoPagePdf()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
    painter.drawText(QPointF(500, 1000), QStringLiteral("First page text"));
    writer.newPage();
    painter.drawText(QPointF(500, 1000), QStringLiteral("Second page text"));
    painter.end();
    return buffer.data();
}

// A PDF whose page draws a form ten times, each form the next one ten times,
// nine deep: pdftotext never finishes it.
QByteArray endlessPdf()
{
    const auto stream = [](const QByteArray &dictionary, const QByteArray &data) {
        return "<<" + dictionary + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data
            + "\nendstream";
    };
    const QByteArray drawTen = QByteArray("/X Do ").repeated(10);
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] "
                              "/Resources << /XObject << /X 5 0 R >> >> /Contents 4 0 R >>",
                              stream({}, drawTen)};
    const QByteArray form = " /Type /XObject /Subtype /Form /BBox [0 0 10 10]";
    for (int depth = 9; depth > 0; --depth) {
        const QByteArray next = QByteArray::number(objects.size() + 2);
        objects << (depth > 1 ? stream(form + " /Resources << /XObject << /X " + next + " 0 R >> >>", drawTen)
                              : stream(form, QByteArray("q Q ").repeated(10)));
    }
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    return pdf + xref + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(pdf.size()) + "\n%%EOF\n";
}

LocalHttpServer::Reply reply(const QByteArray &contentType, const QByteArray &body)
{
    LocalHttpServer::Reply reply;
    reply.contentType = contentType;
    reply.body = body;
    return reply;
}

} // namespace

// The answers that are no HTML page, and the requests a row's page makes, in a real engine.
class TestPageAnswers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void everyAnswerGetsItsOwnTextOrAFailure();
    void blockedTypesAndTheFaviconNeverLeave();
    void headersAndCredentialsGoOnlyToTheRowsOwnOrigin();
    void unchangedDocumentsEndAt304Unrendered();

private:
    PageOutcome load(const QString &row) { return m_engine->load(row); }
    void setOptions(const std::function<void(EngineOptions &)> &change);

    LocalHttpServer m_server;
    LocalHttpServer m_other; // another origin
    EngineOptions m_options; // each test's first
    QTemporaryDir m_folder;
    std::unique_ptr<LiveEngine> m_engine;
};

void TestPageAnswers::initTestCase()
{
    QVERIFY(m_server.listen());
    QVERIFY(m_other.listen());
    m_options.pageLimitMs = 10'000;
    m_options.settleMs = 500;
    m_options.pageCap = 1024 * 1024;
    m_engine = std::make_unique<LiveEngine>(m_options);
}

void TestPageAnswers::init()
{
    m_engine->browser.setOptions(m_options);
}

void TestPageAnswers::cleanupTestCase()
{
    m_engine->shutdown();
    // No engine process and no pdftotext is left.
    QVERIFY(ChildProcesses::descendants(int(QCoreApplication::applicationPid())).isEmpty());
    m_engine.reset();
}

void TestPageAnswers::setOptions(const std::function<void(EngineOptions &)> &change)
{
    EngineOptions options = m_engine->browser.options();
    change(options);
    m_engine->browser.setOptions(options);
}

void TestPageAnswers::everyAnswerGetsItsOwnTextOrAFailure()
{
    const QByteArray pdf = twoPagePdf();
    const QString pdfText = QStringLiteral("First page text\n\n\fSecond page text\n\n\f");
    m_server.route("/doc.pdf", reply("application/pdf", pdf));
    LocalHttpServer::Reply attached = reply("application/pdf", pdf);
    attached.headers = "Content-Disposition: attachment; filename=doc.pdf\r\n";
    m_server.route("/attached", attached);
    m_server.route("/broken.pdf", reply("application/pdf", pdf.left(pdf.size() / 3)));
    m_server.route("/endless.pdf", reply("application/pdf", endlessPdf()));
    LocalHttpServer::Reply huge = reply("application/pdf", "%PDF-1.4\n" + QByteArray(2 * 1024 * 1024, 'x'));
    m_server.route("/huge.pdf", huge);
    huge.noLength = true;
    m_server.route("/streamed-huge.pdf", huge);
    m_server.route("/image.png", reply("image/png", "\x89PNG\r\n\x1a\n"));
    m_server.route("/blob", reply("application/octet-stream", QByteArray(100, '\0')));
    m_server.route("/latin.txt",
                   reply("text/plain; charset=ISO-8859-1",
                         "Gr\xfc\xdf"
                         "e, caf\xe9\n  two spaces\n"));
    m_server.route("/data.json", reply("application/json", "{\"a\": [1, 2],\n \"b\": \"\xc3\xa9\"}"));
    m_server.route("/feed.rss",
                   reply("application/rss+xml",
                         "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Feed &amp; news</title>"
                         "<item><description><![CDATA[<b>bold</b>]]></description></item></channel></rss>"));
    QFile local(m_folder.filePath(QStringLiteral("local.pdf")));
    QVERIFY(local.open(QIODevice::WriteOnly) && local.write(pdf) == pdf.size());
    local.close();

    struct Row {
        QString row;
        QString text; // the content, when the row is saved
        QString failure; // part of the failure, when it is not
        QString contentType;
        Form form = Form::Text;
        int pageLimitMs = EngineOptions().pageLimitMs;
    };
    const QString tooLarge = QStringLiteral("page too large (more than 1 MiB)");
    const QList<Row> rows{
        {m_server.url("/doc.pdf"), pdfText, {}, QStringLiteral("application/pdf")},
        {m_server.url("/attached"), pdfText, {}, QStringLiteral("application/pdf")},
        {QUrl::fromLocalFile(local.fileName()).toString(), pdfText, {}, QStringLiteral("application/pdf")},
        {m_server.url("/broken.pdf"),
         {},
         QStringLiteral("the PDF's text could not be read (Syntax Error"),
         QStringLiteral("application/pdf")},
        {m_server.url("/streamed-huge.pdf"), {}, tooLarge, QStringLiteral("application/pdf")},
        // The tool's limit ends before the row's: the row fails with the tool's reason.
        {m_server.url("/endless.pdf"),
         {},
         QStringLiteral("the PDF's text could not be read (pdftotext took longer than"),
         QStringLiteral("application/pdf"),
         Form::Text,
         3000},
        {m_server.url("/latin.txt"), QStringLiteral("Grüße, café\n  two spaces\n"), {}, QStringLiteral("text/plain")},
        {m_server.url("/huge.pdf"), {}, tooLarge, QStringLiteral("application/pdf")},
        {m_server.url("/data.json"),
         QStringLiteral("{\"a\": [1, 2],\n \"b\": \"é\"}"),
         {},
         QStringLiteral("application/json")},
        {m_server.url("/feed.rss"),
         QStringLiteral("Feed & news\n<b>bold</b>"),
         {},
         QStringLiteral("application/rss+xml")},
        {m_server.url("/image.png"), {}, QStringLiteral("not a page (image/png)"), QStringLiteral("image/png")},
        {m_server.url("/blob"),
         {},
         QStringLiteral("not a page (application/octet-stream)"),
         QStringLiteral("application/octet-stream")},
        {m_server.url("/doc.pdf"), pdfText, {}, QStringLiteral("application/pdf"), Form::Markdown},
        {m_server.url("/doc.pdf"),
         {},
         QStringLiteral("no HTML form for application/pdf"),
         QStringLiteral("application/pdf"),
         Form::Html},
        {m_server.url("/data.json"),
         {},
         QStringLiteral("no HTML form for application/json"),
         QStringLiteral("application/json"),
         Form::Html},
    };
    for (const Row &row : rows) {
        setOptions([&row](EngineOptions &options) {
            options.form = row.form;
            options.pageLimitMs = row.pageLimitMs;
        });
        const PageOutcome outcome = load(row.row);
        const QByteArray shown = (row.row + QLatin1String(" → ") + outcome.failure).toUtf8();
        if (row.failure.isEmpty()) {
            QVERIFY2(!outcome.failed(), shown.constData());
            QCOMPARE(outcome.content, row.text);
            QCOMPARE(outcome.finalUrl, row.row);
        } else {
            QVERIFY2(outcome.failure.startsWith(row.failure), shown.constData());
            QVERIFY(outcome.content.isEmpty());
        }
        QCOMPARE(outcome.contentType, row.contentType);
    }
    // The engine took each answer once, and opened no viewer that asked for more.
    QCOMPARE(m_server.hits(QStringLiteral("/doc.pdf")), 3);
}

void TestPageAnswers::blockedTypesAndTheFaviconNeverLeave()
{
    struct Case {
        const char *name;
        int blocked;
        bool imageLeaves;
        bool mediaLeaves;
    };
    const QList<Case> cases{
        {"default", EngineOptions().blocked, true, false},
        {"images", EngineOptions::BlockImages, false, true},
    };
    for (const Case &test : cases) {
        const QString name = QString::fromLatin1(test.name);
        m_server.page(QStringLiteral("/media-") + name,
                      html("<p>media</p><img src=/pic-" + QByteArray(test.name) + ".png><audio preload=auto src=/clip-"
                           + QByteArray(test.name) + ".ogg></audio>"));
        setOptions([&test](EngineOptions &options) { options.blocked = test.blocked; });
        QCOMPARE(load(m_server.url(QStringLiteral("/media-") + name)).content, QStringLiteral("media"));
        QTest::qWait(500); // the favicon is asked for after the load
        QCOMPARE(m_server.hits(QStringLiteral("/pic-%1.png").arg(name)) > 0, test.imageLeaves);
        QCOMPARE(m_server.hits(QStringLiteral("/clip-%1.ogg").arg(name)) > 0, test.mediaLeaves);
    }
    QCOMPARE(m_server.hits(QStringLiteral("/favicon.ico")), 0);
}

void TestPageAnswers::headersAndCredentialsGoOnlyToTheRowsOwnOrigin()
{
    // The same server under another host name (localhost is not 127.0.0.1), and another port.
    const QString ownOrigin = m_server.url({});
    const QString otherHost = QString(ownOrigin).replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"));
    const QString otherPort = m_other.url({});
    const auto redirect = [this](const QString &path, const QString &to) {
        LocalHttpServer::Reply moved;
        moved.status = 302;
        moved.location = to.toUtf8();
        m_server.route(path, moved);
    };
    m_server.page("/own", html("<p>own</p><img src=/own.png><img src=" + otherPort.toUtf8() + "/third.png>"));
    m_server.page("/landing", html("<p>landed</p>"));
    m_other.page("/landing", html("<p>landed</p>"));
    redirect(QStringLiteral("/to-port"), otherPort + QStringLiteral("/landing"));
    redirect(QStringLiteral("/to-host"), otherHost + QStringLiteral("/landing"));
    setOptions([](EngineOptions &options) {
        options.headers = {{QStringLiteral("Authorization"), QStringLiteral("Bearer t1")}};
    });
    QCOMPARE(load(m_server.url("/own")).content, QStringLiteral("own"));
    QCOMPARE(load(m_server.url("/to-port")).content, QStringLiteral("landed"));
    QCOMPARE(load(m_server.url("/to-host")).content, QStringLiteral("landed"));
    struct Reached {
        LocalHttpServer *server;
        const char *path;
        int withHeader;
    };
    const QList<Reached> headers{
        {&m_server, "/own", 1},    {&m_server, "/own.png", 1}, {&m_other, "/third.png", 0},
        {&m_other, "/landing", 0}, {&m_server, "/landing", 0},
    };
    for (const Reached &reached : headers) {
        QVERIFY2(reached.server->hits(QLatin1String(reached.path)) > 0, reached.path);
        QCOMPARE(reached.server->hitsWith(QLatin1String(reached.path), "authorization"), reached.withHeader);
    }

    LocalHttpServer::Reply secret;
    secret.authorization = "Basic " + QByteArray("user:pass").toBase64();
    secret.body = html("<p>secret text</p>");
    m_server.route("/secret", secret);
    m_other.route("/secret", secret);
    redirect(QStringLiteral("/secret-host"), otherHost + QStringLiteral("/secret"));
    redirect(QStringLiteral("/secret-port"), otherPort + QStringLiteral("/secret"));
    m_server.page("/framed", html("<p>framed</p><iframe src=" + otherPort.toUtf8() + "/secret></iframe>"));
    const QString refused =
        QStringLiteral("HTTP error 401 Unauthorized; credentials not sent to %1, not the address's origin");
    struct Case {
        QString password;
        QString row;
        QString text;
        QString failure;
    };
    const QList<Case> cases{
        {QStringLiteral("pass"), m_server.url("/secret"), QStringLiteral("secret text"), {}},
        {QStringLiteral("pass"), m_server.url("/secret-host"), {}, refused.arg(otherHost)},
        {QStringLiteral("pass"), m_server.url("/secret-port"), {}, refused.arg(otherPort)},
        {QStringLiteral("wrong"), m_server.url("/secret"), {}, QStringLiteral("HTTP error 401 Unauthorized")},
    };
    for (const Case &test : cases) {
        setOptions([&test](EngineOptions &options) {
            options.headers.clear();
            options.authUser = QStringLiteral("user");
            options.authPassword = test.password;
        });
        const int hits = m_server.hits(QStringLiteral("/secret"));
        const PageOutcome outcome = load(test.row);
        QCOMPARE(outcome.failure, test.failure);
        QCOMPARE(outcome.content, test.text);
        // Asked once without credentials and once with them: no loop on wrong ones.
        if (test.row.endsWith(QLatin1String("/secret")))
            QCOMPARE(m_server.hits(QStringLiteral("/secret")) - hits, 2);
    }
    const PageOutcome framed = load(m_server.url("/framed"));
    QCOMPARE(framed.content, QStringLiteral("framed"));
    QCOMPARE(framed.note, QStringLiteral("credentials not sent to %1, not the address's origin").arg(otherPort));
    // Neither another host nor another port of the row's was ever given the password.
    QVERIFY(m_other.hits(QStringLiteral("/secret")) >= 2);
    QCOMPARE(m_other.hitsWith(QStringLiteral("/secret"), "authorization"), 0);
    QCOMPARE(m_server.hitsWith(QStringLiteral("/secret"), "authorization"), 2);
}

void TestPageAnswers::unchangedDocumentsEndAt304Unrendered()
{
    const QString etag = QStringLiteral("W/\"v2\"");
    const QString modified = QStringLiteral("Wed, 01 Jan 2025 00:00:00 GMT");
    LocalHttpServer::Reply kept =
        reply("text/html", html("<p>kept</p><img src=/kept.png><script src=/kept.js></script>"));
    kept.etag = etag.toUtf8();
    kept.lastModified = modified.toUtf8();
    m_server.route("/kept", kept);
    m_other.route("/kept", kept);
    kept = reply("text/plain", "kept text");
    kept.etag = etag.toUtf8();
    m_server.route("/kept.txt", kept);
    m_server.route("/kept.js", reply("text/javascript", "0"));
    m_other.route("/kept.js", reply("text/javascript", "0"));
    LocalHttpServer::Reply moved;
    moved.status = 302;
    moved.location = "/kept";
    m_server.route("/moved", moved);
    moved.location = m_other.url("/kept").toUtf8();
    m_server.route("/away", moved);
    setOptions([](EngineOptions &options) { options.conditionalLoads = true; });

    struct Case {
        const char *name;
        QString row;
        std::optional<PageValidators> validators; // none: a plain load
        QString content; // empty: ended at 304, nothing rendered
        QString finalUrl;
        QString lastModified;
        bool scripts; // the page's script was asked for
    };
    const QList<Case> cases{
        {"plain", m_server.url("/kept"), {}, QStringLiteral("kept"), m_server.url("/kept"), modified, true},
        {"current etag", m_server.url("/kept"), PageValidators{etag, {}}, {}, m_server.url("/kept"), {}, false},
        // The row after a 304 loads as any other.
        {"stale etag, same date", m_server.url("/kept"), PageValidators{QStringLiteral("W/\"v1\""), modified},
         QStringLiteral("kept"), m_server.url("/kept"), modified, true},
        {"date alone", m_server.url("/kept"), PageValidators{{}, modified}, {}, m_server.url("/kept"), {}, false},
        {"redirect within the origin",
         m_server.url("/moved"),
         PageValidators{etag, {}},
         {},
         m_server.url("/kept"),
         {},
         false},
        {"redirect to another origin", m_server.url("/away"), PageValidators{etag, modified}, QStringLiteral("kept"),
         m_other.url("/kept"), modified, true},
        {"text answer",
         m_server.url("/kept.txt"),
         {},
         QStringLiteral("kept text"),
         m_server.url("/kept.txt"),
         {},
         false},
        {"text answer unchanged",
         m_server.url("/kept.txt"),
         PageValidators{etag, {}},
         {},
         m_server.url("/kept.txt"),
         {},
         false},
    };
    for (const Case &test : cases) {
        const int scripts = m_server.hits(QStringLiteral("/kept.js")) + m_other.hits(QStringLiteral("/kept.js"));
        const PageOutcome outcome =
            test.validators ? m_engine->loadIfChanged(test.row, *test.validators) : load(test.row);
        QVERIFY2(!outcome.failed(), test.name);
        const bool unchanged = test.content.isEmpty();
        QVERIFY2(outcome.notModified == unchanged, test.name);
        QCOMPARE(outcome.httpStatus, unchanged ? 304 : 200);
        QCOMPARE(outcome.content, test.content);
        QCOMPARE(outcome.finalUrl, test.finalUrl);
        QCOMPARE(outcome.etag, etag);
        QCOMPARE(outcome.lastModified, test.lastModified);
        if (unchanged)
            QVERIFY2(outcome.timings.response >= 0 && outcome.timings.loaded < 0, test.name);
        const int scriptsNow = m_server.hits(QStringLiteral("/kept.js")) + m_other.hits(QStringLiteral("/kept.js"));
        QVERIFY2((scriptsNow > scripts) == test.scripts, test.name);
    }
    // The server said 304 each time, and the validators went only with the row's main document to its origin.
    QCOMPARE(m_server.notModified(QStringLiteral("/kept")), 3);
    QCOMPARE(m_server.notModified(QStringLiteral("/kept.txt")), 1);
    // A redirect is no answer to the engine's question: the row then loads with its validators.
    QCOMPARE(m_server.hitsWith(QStringLiteral("/moved"), "if-none-match"), 2);
    QCOMPARE(m_server.hitsWith(QStringLiteral("/away"), "if-modified-since"), 2);
    for (const QByteArray &header : {QByteArray("if-none-match"), QByteArray("if-modified-since")}) {
        QCOMPARE(m_other.hitsWith(QStringLiteral("/kept"), header), 0);
        QCOMPARE(m_server.hitsWith(QStringLiteral("/kept.js"), header), 0);
        QCOMPARE(m_server.hitsWith(QStringLiteral("/kept.png"), header), 0);
    }

    // Questions go in a context of their own: a cookie set in answer to one reaches no later question and no row.
    LocalHttpServer::Reply cookie = reply("text/html", html("<p>cookie</p>"));
    cookie.etag = etag.toUtf8();
    cookie.headers = "Set-Cookie: asked=1; Path=/\r\n";
    m_server.route("/cookie", cookie);
    for (int question = 0; question < 2; ++question) {
        QVERIFY(m_engine->loadIfChanged(m_server.url("/cookie"), {etag, {}}).notModified);
        QVERIFY(!m_server.lastHeaders(QStringLiteral("/cookie")).contains("cookie"));
    }
    QCOMPARE(load(m_server.url("/cookie")).content, QStringLiteral("cookie"));
    QVERIFY(!m_server.lastHeaders(QStringLiteral("/cookie")).contains("cookie"));

    // With the extra headers, both go; without conditional loads, none do.
    setOptions([](EngineOptions &options) { options.headers = {{QStringLiteral("X-Row"), QStringLiteral("1")}}; });
    QVERIFY(m_engine->loadIfChanged(m_server.url("/kept"), {etag, {}}).notModified);
    QCOMPARE(m_server.lastHeaders(QStringLiteral("/kept")).value("x-row"), QByteArray("1"));
    setOptions([](EngineOptions &options) {
        options.headers.clear();
        options.conditionalLoads = false;
    });
    QCOMPARE(m_engine->loadIfChanged(m_server.url("/kept"), {etag, modified}).content, QStringLiteral("kept"));
    QCOMPARE(m_server.notModified(QStringLiteral("/kept")), 4);
}

QTEST_MAIN(TestPageAnswers)
#include "tst_PageAnswers.moc"
