#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QByteArray page(const QByteArray &body, const QByteArray &head = {})
{
    return "<!DOCTYPE html><html><head>" + head + "</head><body>" + body + "</body></html>";
}

QByteArray links(const QStringList &targets)
{
    QByteArray body;
    for (const QString &target : targets)
        body += "<p><a href=\"" + target.toUtf8() + "\">" + target.toUtf8() + "</a></p>";
    return body;
}

// The records of a report, by outcome: the addresses.
QHash<QString, QSet<QString>> outcomes(const QString &reportPath)
{
    QHash<QString, QSet<QString>> byOutcome;
    const QByteArray report = readTestFile(reportPath);
    for (const QByteArray &line : report.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        byOutcome[record.value(QStringLiteral("outcome")).toString()].insert(
            record.value(QStringLiteral("address")).toString());
    }
    return byOutcome;
}

} // namespace

// textorin-batch following links on a site served on 127.0.0.1.
class TestBatchCrawl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void crawlSavesTheSiteWithinItsScope_data();
    void crawlSavesTheSiteWithinItsScope();
    void endlessCalendarIsBoundedByTheHostLimit();
    void spiderListsWhatItFinds();
    void killedCrawlResumesWithoutLoadingAPageTwice();
    void damagedOrOtherStateIsRefused();

private:
    QString at(const QString &path) const { return m_server.url(path); }
    QSet<QString> addresses(const QStringList &paths) const;
    BatchProgram::Result crawl(const QString &folder, const QStringList &options);

    BatchProgram m_batch;
    LocalHttpServer &m_server = m_batch.server();
};

QSet<QString> TestBatchCrawl::addresses(const QStringList &paths) const
{
    QSet<QString> set;
    for (const QString &path : paths)
        set.insert(at(path));
    return set;
}

// A site of three levels with what trips crawlers up: links made by script,
// another host, fragment and query variants, a canonical duplicate, a redirect
// loop, a nofollow link, a robots.txt disallow, a file that is no page and an
// endless calendar.
void TestBatchCrawl::initTestCase()
{
    QVERIFY(m_batch.start());
    const QString otherHost = QStringLiteral("http://localhost:%1/elsewhere").arg(m_server.port());
    m_server.route(QStringLiteral("/robots.txt"),
                   {200, "text/plain", "User-agent: *\nDisallow: /private/\n", {}, false, false, 0, {}, 0, {}});
    m_server.page(QStringLiteral("/site/"),
                  page(links({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a#top"), otherHost,
                              QStringLiteral("/private/secret"), QStringLiteral("/site/picture.png"),
                              QStringLiteral("/redirect"), QStringLiteral("calendar?month=1"),
                              QStringLiteral("mailto:someone@example.org"), QStringLiteral("/outside")})
                       + "<a rel=\"nofollow\" href=\"/site/nofollowed\">n</a>"
                         "<script>setTimeout(() => { const a = document.createElement('a'); "
                         "a.href = '/site/scripted'; a.textContent = 's'; document.body.append(a); }, 50);</script>"));
    m_server.page(QStringLiteral("/site/a"), page(links({QStringLiteral("/site/a/deep"), QStringLiteral("/site/")})));
    m_server.page(QStringLiteral("/site/b"),
                  page(links({QStringLiteral("/site/b/child")}), "<link rel=\"canonical\" href=\"/site/a\">"));
    m_server.page(QStringLiteral("/site/scripted"), page(links({QStringLiteral("/site/scripted/child")})));
    m_server.page(QStringLiteral("/site/a/deep"), page(links({QStringLiteral("/site/a/deep/deeper")})));
    m_server.page(QStringLiteral("/site/scripted/child"), page("child"));
    m_server.page(QStringLiteral("/site/a/deep/deeper"), page("deeper"));
    m_server.page(QStringLiteral("/site/nofollowed"), page("nofollowed"));
    m_server.page(QStringLiteral("/private/secret"), page("secret"));
    m_server.page(QStringLiteral("/outside"), page("outside"));
    m_server.route(QStringLiteral("/site/picture.png"), {200, "image/png", "png", {}, false, false, 0, {}, 0, {}});
    m_server.route(QStringLiteral("/redirect"), {302, "text/html", {}, "/redirect2", false, false, 0, {}, 0, {}});
    m_server.route(QStringLiteral("/redirect2"), {302, "text/html", {}, "/redirect", false, false, 0, {}, 0, {}});
    for (int month = 1; month <= 12; ++month) {
        m_server.page(QStringLiteral("/site/calendar?month=%1").arg(month),
                      page(links({QStringLiteral("calendar?month=%1").arg(month + 1)})));
    }
}

BatchProgram::Result TestBatchCrawl::crawl(const QString &folder, const QStringList &options)
{
    return m_batch.run(QStringList{QStringLiteral("-r"), QStringLiteral("--wait"), QStringLiteral("0"),
                                   QStringLiteral("-P"), folder, QStringLiteral("--report"),
                                   QDir(folder).filePath(QStringLiteral("report.jsonl")), QStringLiteral("-u"),
                                   at(QStringLiteral("/site/"))}
                       + options);
}

void TestBatchCrawl::crawlSavesTheSiteWithinItsScope_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("saved");
    const QStringList levelOne{QStringLiteral("/site/"), QStringLiteral("/site/a"), QStringLiteral("/site/scripted"),
                               QStringLiteral("/site/calendar?month=1"), QStringLiteral("/outside")};
    const QStringList levelTwo = levelOne
        + QStringList{QStringLiteral("/site/a/deep"), QStringLiteral("/site/scripted/child"),
                      QStringLiteral("/site/calendar?month=2")};
    QTest::newRow("-l 1") << QStringList{QStringLiteral("-l"), QStringLiteral("1")} << levelOne;
    QTest::newRow("-l 2") << QStringList{QStringLiteral("-l"), QStringLiteral("2")} << levelTwo;
    QStringList noParent = levelTwo;
    noParent.removeAll(QStringLiteral("/outside"));
    QTest::newRow("-np") << QStringList{QStringLiteral("-l"), QStringLiteral("2"), QStringLiteral("-np")} << noParent;
    QStringList rejected = levelTwo;
    rejected.removeAll(QStringLiteral("/site/calendar?month=1"));
    rejected.removeAll(QStringLiteral("/site/calendar?month=2"));
    QTest::newRow("--reject-regex") << QStringList{QStringLiteral("-l"), QStringLiteral("2"),
                                                   QStringLiteral("--reject-regex"), QStringLiteral("month=[0-9]+$")}
                                    << rejected;
}

void TestBatchCrawl::crawlSavesTheSiteWithinItsScope()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, saved);
    QTemporaryDir out;
    const BatchProgram::Result result = crawl(out.path(), options);
    const bool noParent = options.contains(QStringLiteral("-np"));
    QCOMPARE(result.exitCode, noParent ? 0 : 1); // the redirect loop fails
    const QHash<QString, QSet<QString>> rows = outcomes(out.filePath(QStringLiteral("report.jsonl")));
    QCOMPARE(rows.value(QStringLiteral("saved")), addresses(saved));
    QCOMPARE(rows.value(QStringLiteral("failed")),
             noParent ? QSet<QString>() : addresses({QStringLiteral("/redirect")}));
    // The canonical duplicate, the disallowed page and the picture are named, never loaded.
    const QSet<QString> skipped = rows.value(QStringLiteral("skipped"));
    QVERIFY(skipped.contains(at(QStringLiteral("/site/b"))));
    QVERIFY(!skipped.contains(at(QStringLiteral("/site/nofollowed"))));
    QVERIFY(result.out.contains(QStringLiteral("same page as ") + at(QStringLiteral("/site/a"))));
    QCOMPARE(result.out.contains(QStringLiteral("/private/secret (robots.txt)")), !noParent);
    QVERIFY(result.out.contains(QStringLiteral("an image (.png)")));
    QCOMPARE(m_server.hits(QStringLiteral("/private/secret")), 0);
    QCOMPARE(m_server.hits(QStringLiteral("/site/nofollowed")), 0);
    QCOMPARE(m_server.hits(QStringLiteral("/elsewhere")), 0);
    // The site is mirrored as folders.
    QCOMPARE(QFile::exists(out.filePath(QStringLiteral("127.0.0.1/site/a/deep.txt"))),
             saved.contains(QStringLiteral("/site/a/deep")));
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1/site/index.txt"))).left(2), QByteArray("a\n"));
    QVERIFY(result.out.contains(QStringLiteral("Ended: every link followed.")));
}

void TestBatchCrawl::endlessCalendarIsBoundedByTheHostLimit()
{
    QTemporaryDir out;
    const BatchProgram::Result result = crawl(out.path(),
                                              {QStringLiteral("-l"), QStringLiteral("inf"), QStringLiteral("-np"),
                                               QStringLiteral("--max-pages-per-host"), QStringLiteral("9")});
    QCOMPARE(result.exitCode, 0);
    // Nine pages taken: the duplicate and the picture among them.
    QCOMPARE(outcomes(out.filePath(QStringLiteral("report.jsonl"))).value(QStringLiteral("saved")).size(), 7);
    QCOMPARE(m_server.hits(QStringLiteral("/site/calendar?month=5")), 0);
    QVERIFY(result.out.contains(QStringLiteral(" past --max-pages-per-host")));
    QVERIFY(!result.out.contains(QStringLiteral(" 0 past --max-pages-per-host")));
}

void TestBatchCrawl::spiderListsWhatItFinds()
{
    QTemporaryDir out;
    const int childHits = m_server.hits(QStringLiteral("/site/scripted/child"));
    const BatchProgram::Result result =
        crawl(out.path(),
              {QStringLiteral("--spider"), QStringLiteral("-l"), QStringLiteral("2"), QStringLiteral("-np"),
               QStringLiteral("--reject-regex"), QStringLiteral("calendar|redirect|png$")});
    QCOMPARE(result.exitCode, 0);
    QSet<QString> listed;
    for (const QString &line : result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        listed.insert(line);
    const QString depthOne = QStringLiteral("\t1");
    const QString depthTwo = QStringLiteral("\t2");
    QCOMPARE(
        listed,
        (QSet<QString>{at(QStringLiteral("/site/")) + QStringLiteral("\t0"), at(QStringLiteral("/site/a")) + depthOne,
                       at(QStringLiteral("/site/b")) + depthOne, at(QStringLiteral("/site/scripted")) + depthOne,
                       at(QStringLiteral("/site/a/deep")) + depthTwo,
                       at(QStringLiteral("/site/scripted/child")) + depthTwo}));
    // The last level is listed, not loaded; no file is written.
    QCOMPARE(m_server.hits(QStringLiteral("/site/scripted/child")), childHits);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("report.jsonl")});
}

void TestBatchCrawl::killedCrawlResumesWithoutLoadingAPageTwice()
{
    // A chain of slow pages, each linking to the next.
    constexpr int Pages = 12;
    for (int i = 0; i < Pages; ++i) {
        LocalHttpServer::Reply reply;
        reply.body = page(links({QStringLiteral("/chain/%1").arg(i + 1), QStringLiteral("/chain/%1x").arg(i)}));
        reply.delayMs = 150;
        m_server.route(QStringLiteral("/chain/%1").arg(i), reply);
        m_server.page(QStringLiteral("/chain/%1x").arg(i), page("x"));
    }
    QTemporaryDir out;
    const QStringList arguments{QStringLiteral("-r"),
                                QStringLiteral("-l"),
                                QStringLiteral("inf"),
                                QStringLiteral("--wait"),
                                QStringLiteral("0"),
                                QStringLiteral("-P"),
                                out.path(),
                                QStringLiteral("-u"),
                                at(QStringLiteral("/chain/0")),
                                QStringLiteral("-R"),
                                QStringLiteral("*12*")};
    QProcess killed;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_batch.configPath());
    killed.setProcessEnvironment(environment);
    killed.start(QStringLiteral(TEXTORIN_BATCH_PATH), arguments);
    QVERIFY(killed.waitForStarted());
    // Generous: a loaded machine starts the engine and loads six pages slowly.
    QTRY_VERIFY_WITH_TIMEOUT(m_server.hits(QStringLiteral("/chain/5")) > 0, 240000);
    killed.kill();
    QVERIFY(killed.waitForFinished(5000));
    QHash<QString, int> hitsBefore;
    for (int i = 0; i < Pages; ++i) {
        for (const QString &path : {QStringLiteral("/chain/%1").arg(i), QStringLiteral("/chain/%1x").arg(i)})
            hitsBefore.insert(path, m_server.hits(path));
    }
    QStringList savedBefore;
    QDirIterator files(out.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        savedBefore << files.next();

    const BatchProgram::Result resumed = m_batch.run(arguments);
    QCOMPARE(resumed.exitCode, 0);
    for (const QString &file : savedBefore) {
        if (!file.endsWith(QLatin1String(".txt")))
            continue;
        // The page of a file saved before the kill is not loaded again.
        const QString path =
            QStringLiteral("/") + QDir(out.filePath(QStringLiteral("127.0.0.1"))).relativeFilePath(file);
        QCOMPARE(m_server.hits(path.chopped(4)), hitsBefore.value(path.chopped(4)));
    }
    for (int i = 0; i < Pages; ++i) {
        QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1/chain/%1x.txt").arg(i))), QByteArray("x"));
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("127.0.0.1/chain/%1.txt").arg(i))));
    }
}

void TestBatchCrawl::damagedOrOtherStateIsRefused()
{
    QTemporaryDir out;
    const QString state = out.filePath(QStringLiteral(".textorin-crawl.sqlite"));
    writeTestFile(state, "not a database, a note the user keeps");
    BatchProgram::Result result = crawl(out.path(), {QStringLiteral("-l"), QStringLiteral("1")});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(state + QStringLiteral(" is damaged")));
    QCOMPARE(readTestFile(state), QByteArray("not a database, a note the user keeps"));

    QVERIFY(QFile::remove(state));
    QCOMPARE(crawl(out.path(), {QStringLiteral("-l"), QStringLiteral("1")}).exitCode, 1);
    result = crawl(out.path(), {QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-np")});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.contains(QStringLiteral("holds another crawl")));
    QCOMPARE(crawl(out.path(), {QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("--new-state")}).exitCode, 1);
}

QTEST_GUILESS_MAIN(TestBatchCrawl)
#include "tst_BatchCrawl.moc"
