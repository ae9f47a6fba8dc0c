#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

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
        xml += "<url><loc> " + address.toUtf8()
            + " </loc><image:image><image:loc>http://img/</image:loc>"
              "</image:image></url>";
    return xml + "</urlset>";
}

} // namespace

// textorin-batch's rows and requests of the web: sitemaps, feeds, robots.txt and cookies.
class TestBatchWebSources : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sitemapIndexesAndFeedsGiveTheRows();
    void robotsTxtSkipsRowsAndSlowsTheHost();
    void robotsTxtOfWhereARedirectLeadsIsFollowed();
    void robotsTxtThatNeverAnswersHoldsUpNoOtherRow();
    void cookiesFileSignsInAndIsSavedForTheNextRun();

private:
    BatchProgram m_batch;
    LocalHttpServer &m_server = m_batch.server();
};

void TestBatchWebSources::initTestCase()
{
    QVERIFY(m_batch.start());
}

void TestBatchWebSources::sitemapIndexesAndFeedsGiveTheRows()
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
               "<sitemap><loc>child.xml.gz</loc></sitemap><sitemap><loc>"
        + m_server.url("/maps/plain.xml").toUtf8() + "</loc></sitemap></sitemapindex>";
    m_server.route("/maps/index.xml", xml);
    xml.contentType = "application/rss+xml";
    xml.body = "<rss version=\"2.0\"><channel><link>/nope</link><item><title>t</title><link>/width</link></item>"
               "</channel></rss>";
    m_server.route("/feed", xml);

    BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--feed"), m_server.url("/feed"),
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
    result = m_batch.run(
        {QStringLiteral("--folder"), out.path(), QStringLiteral("--sitemap"), m_server.url("/missing-map")});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err,
             QStringLiteral("textorin-batch: cannot read sitemap %1: HTTP error 404 Not Found\n")
                 .arg(m_server.url("/missing-map")));
}

void TestBatchWebSources::robotsTxtSkipsRowsAndSlowsTheHost()
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
    const QString list = m_server.url("/one") + "\n" + m_server.url("/public/%2E./private/x") + "\n"
        + broken.url("/one") + "\n" + m_server.url("/two") + "\n" + none.url("/one");
    const BatchProgram::Result result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--robots"),
                                                     QStringLiteral("-v"), m_batch.writeList(list.toUtf8())});
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

void TestBatchWebSources::robotsTxtOfWhereARedirectLeadsIsFollowed()
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

    const BatchProgram::Result result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--robots"),
                                                     QStringLiteral("-u"), site.url("/go"), QStringLiteral("-u"),
                                                     site.url("/away"), QStringLiteral("-u"), site.url("/fine")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("skipped %1 (robots.txt)").arg(site.url("/go")))
                 && result.out.contains(QStringLiteral("skipped %1 (robots.txt)").arg(site.url("/away")))
                 && result.out.contains(QStringLiteral("Saved 1, failed 0, skipped 2.")),
             qPrintable(result.out + result.err));
    QCOMPARE(site.hits(QStringLiteral("/private/x")) + far.hits(QStringLiteral("/secret")), 0);
    QCOMPARE(far.hits(QStringLiteral("/robots.txt")), 1);
    QCOMPARE(far.hits(QStringLiteral("/ok")), 1);
}

void TestBatchWebSources::robotsTxtThatNeverAnswersHoldsUpNoOtherRow()
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

    const QString report = m_batch.filePath(QStringLiteral("unanswered.jsonl"));
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--robots"), QStringLiteral("-j"),
                     QStringLiteral("2"), QStringLiteral("--report"), report, QStringLiteral("-u"), site.url("/go"),
                     QStringLiteral("-u"), site.url("/slow"), QStringLiteral("-u"), mute.url("/other")});
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

void TestBatchWebSources::cookiesFileSignsInAndIsSavedForTheNextRun()
{
    LocalHttpServer::Reply account;
    account.body = "<html><body><script>document.body.append(document.cookie.includes('sid=abc') ? "
                   "'signed in' : 'signed out')</script></body></html>";
    account.headers = "Set-Cookie: seen=1; Path=/; Max-Age=3600\r\n";
    m_server.route("/account", account);
    QTemporaryDir out;
    const QString cookies = out.filePath(QStringLiteral("in.txt"));
    writeTestFile(cookies,
                  "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\tabc\n"
                  "not a cookie\n");
    const QString saved = out.filePath(QStringLiteral("out.txt"));
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--cookies"), cookies,
                     QStringLiteral("--save-cookies"), saved, QStringLiteral("-u"), m_server.url("/account")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.contains(QStringLiteral("in.txt: line 3")), qPrintable(result.err));
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1 %1_account.txt").arg(m_server.port()))),
             QByteArray("signed in"));
    const QByteArray written = readTestFile(saved);
    QVERIFY2(written.contains("\tsid\tabc\n") && written.contains("\tseen\t1\n"), written.constData());
}

QTEST_GUILESS_MAIN(TestBatchWebSources)
#include "tst_BatchWebSources.moc"
