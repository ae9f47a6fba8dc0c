#include "crawl/CrawlFrontier.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A frontier over a state file of its own, and the rows it gave, by number.
struct Crawl {
    explicit Crawl(const CrawlSettings &crawlSettings = {}) : settings(crawlSettings)
    {
        QString error;
        QVERIFY2(state.open(folder.filePath(QStringLiteral("state.sqlite")), "key", false, &error), qPrintable(error));
        frontier = std::make_unique<CrawlFrontier>(state, settings);
        frontier->setFound([this](const QString &address, int depth) { found << qMakePair(address, depth); });
    }
    // The addresses of every row given now, numbered on.
    QStringList take()
    {
        QStringList addresses;
        while (const std::optional<CrawlFrontier::Row> row = frontier->next(++number)) {
            given.insert(number, *row);
            addresses << row->address;
        }
        --number;
        return addresses;
    }
    qint64 numberOf(const QString &address) const
    {
        for (auto it = given.cbegin(); it != given.cend(); ++it) {
            if (it->address == address)
                return it.key();
        }
        return 0;
    }
    QueuedRow queued(const QString &address) const
    {
        const qint64 row = numberOf(address);
        return {row, address, {}, given.value(row).depth, given.value(row).foundOn};
    }
    // Ends the row as saved, with the page's links and its outcome's addresses.
    void save(const QString &address, const PageLinks &links = {}, const QString &finalUrl = {})
    {
        PageOutcome page;
        page.links = links;
        page.finalUrl = finalUrl.isEmpty() ? address : finalUrl;
        const QueuedRow row = queued(address);
        RowResult result;
        result.row = row.number;
        result.url = address;
        result.depth = row.depth;
        result.page = page;
        result.reason = frontier->sameAs(row, page);
        result.outcome = result.reason.isEmpty() ? RowResult::Outcome::Saved : RowResult::Outcome::Skipped;
        frontier->ended(result, QStringLiteral("file.txt"));
    }

    QTemporaryDir folder;
    CrawlSettings settings;
    CrawlState state;
    std::unique_ptr<CrawlFrontier> frontier;
    QHash<qint64, CrawlFrontier::Row> given;
    qint64 number = 0;
    QList<QPair<QString, int>> found;
};

PageLinks linksTo(const QStringList &follow, const QStringList &nofollow = {})
{
    PageLinks links;
    links.follow = follow;
    links.nofollow = nofollow;
    return links;
}

} // namespace

class TestCrawlFrontier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linksAreTakenUpOnceWithinLevelAndScope();
    void nofollowIsKeptUnlessRobotsAreOff();
    void samePageByCanonicalOrRedirectIsLoadedOnce();
    void limitsCountEveryRunAndEachHost();
    void spiderListsTheLastLevelWithoutLoadingIt();
};

void TestCrawlFrontier::linksAreTakenUpOnceWithinLevelAndScope()
{
    CrawlSettings settings;
    settings.level = 2;
    Crawl crawl(settings);
    QVERIFY(crawl.frontier->addStart(QStringLiteral("http://a/")));
    QCOMPARE(crawl.take(), QStringList{QStringLiteral("http://a/")});
    QVERIFY(crawl.frontier->hasRowsLoading());
    crawl.save(QStringLiteral("http://a/"),
               linksTo({QStringLiteral("http://a/x#part"), QStringLiteral("http://A:80/x"), QStringLiteral("http://b/"),
                        QStringLiteral("http://a/y")}));
    QCOMPARE(crawl.take(), (QStringList{QStringLiteral("http://a/x"), QStringLiteral("http://a/y")}));
    QCOMPARE(crawl.frontier->counts().outOfScope, 1);
    QCOMPARE(crawl.given.value(crawl.numberOf(QStringLiteral("http://a/x"))).foundOn, QStringLiteral("http://a/"));
    // Links back, and a page of depth 2's links past the level, are not taken up.
    crawl.save(QStringLiteral("http://a/x"), linksTo({QStringLiteral("http://a/"), QStringLiteral("http://a/z")}));
    QCOMPARE(crawl.take(), QStringList{QStringLiteral("http://a/z")});
    crawl.save(QStringLiteral("http://a/z"), linksTo({QStringLiteral("http://a/past")}));
    crawl.save(QStringLiteral("http://a/y"));
    QCOMPARE(crawl.take(), QStringList());
    QVERIFY(!crawl.frontier->hasRowsLoading());
    QCOMPARE(crawl.state.count(CrawlState::Status::Saved), 4);
    QVERIFY(!crawl.state.find(QStringLiteral("http://a/past")));
}

void TestCrawlFrontier::nofollowIsKeptUnlessRobotsAreOff()
{
    for (const bool robotsOff : {false, true}) {
        CrawlSettings settings;
        settings.followNofollow = robotsOff;
        Crawl crawl(settings);
        crawl.frontier->addStart(QStringLiteral("http://a/"));
        crawl.take();
        crawl.save(QStringLiteral("http://a/"),
                   linksTo({QStringLiteral("http://a/f")}, {QStringLiteral("http://a/n")}));
        QCOMPARE(crawl.take().size(), robotsOff ? 2 : 1);
        PageLinks page = linksTo({QStringLiteral("http://a/g")});
        page.pageNofollow = true;
        crawl.save(QStringLiteral("http://a/f"), page);
        QCOMPARE(crawl.take().size(), robotsOff ? 1 : 0);
    }
}

void TestCrawlFrontier::samePageByCanonicalOrRedirectIsLoadedOnce()
{
    Crawl crawl;
    crawl.frontier->addStart(QStringLiteral("http://a/"));
    crawl.take();
    crawl.save(QStringLiteral("http://a/"),
               linksTo({QStringLiteral("http://a/print"), QStringLiteral("http://a/old")}));
    QCOMPARE(crawl.take().size(), 2);
    // A page whose canonical address was saved first is skipped.
    PageLinks print;
    print.canonical = QStringLiteral("http://a/#top");
    crawl.save(QStringLiteral("http://a/print"), print);
    QCOMPARE(crawl.frontier->counts().duplicates, 1);
    QCOMPARE(crawl.state.find(QStringLiteral("http://a/print"))->reason, QStringLiteral("same page as http://a/"));
    // A redirect's target is seen: a later link to it is not loaded again.
    crawl.save(QStringLiteral("http://a/old"), linksTo({QStringLiteral("http://a/new")}),
               QStringLiteral("http://a/new"));
    QCOMPARE(crawl.take(), QStringList());
    QCOMPARE(crawl.frontier->counts().saved, 2);
}

void TestCrawlFrontier::limitsCountEveryRunAndEachHost()
{
    CrawlSettings settings;
    settings.maxPagesPerHost = 3;
    Crawl crawl(settings);
    for (const char *start : {"http://a/1", "http://a/2", "http://b/1", "http://a/3", "http://a/4", "http://a/5"})
        crawl.frontier->addStart(QString::fromLatin1(start));
    QCOMPARE(crawl.take(),
             (QStringList{QStringLiteral("http://a/1"), QStringLiteral("http://a/2"), QStringLiteral("http://b/1"),
                          QStringLiteral("http://a/3")}));
    QCOMPARE(crawl.frontier->counts().overHostLimit, 2);
    // An IDN host is counted in one form, the state's and the limit's.
    Crawl idn(settings);
    idn.frontier->addStart(QStringLiteral("http://b\u00fccher.de/1"));
    idn.frontier->addStart(QStringLiteral("http://b\u00fccher.de/2"));
    idn.frontier->addStart(QStringLiteral("http://b\u00fccher.de/3"));
    idn.frontier->addStart(QStringLiteral("http://b\u00fccher.de/4"));
    QCOMPARE(idn.take().size(), 3);
    crawl.save(QStringLiteral("http://a/1"));
    crawl.save(QStringLiteral("http://a/2"));

    // --max-pages counts the pages of earlier runs of the state.
    const QString path = crawl.state.path();
    crawl.frontier.reset();
    crawl.state.close();
    CrawlState state;
    QString error;
    QVERIFY(state.open(path, "key", false, &error));
    CrawlSettings limited;
    limited.maxPages = 3;
    CrawlFrontier again(state, limited);
    QVERIFY(again.next(1)); // b/1 or a/3, loading when the first run ended
    QVERIFY(again.maxPagesReached());
    QVERIFY(!again.next(2));
}

void TestCrawlFrontier::spiderListsTheLastLevelWithoutLoadingIt()
{
    CrawlSettings settings;
    settings.level = 1;
    settings.spider = true;
    Crawl crawl(settings);
    crawl.frontier->addStart(QStringLiteral("http://a/"));
    crawl.take();
    crawl.save(QStringLiteral("http://a/"), linksTo({QStringLiteral("http://a/1"), QStringLiteral("http://a/2")}));
    QCOMPARE(crawl.take(), QStringList());
    QCOMPARE(crawl.found,
             (QList<QPair<QString, int>>{{QStringLiteral("http://a/"), 0},
                                         {QStringLiteral("http://a/1"), 1},
                                         {QStringLiteral("http://a/2"), 1}}));
}

QTEST_GUILESS_MAIN(TestCrawlFrontier)
#include "tst_CrawlFrontier.moc"
