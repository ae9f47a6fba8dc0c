#include "app/ListCrawl.h"
#include "urllist/UrlListModel.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

CrawlRows::Settings following()
{
    CrawlRows::Settings settings;
    settings.tracksChanges = true;
    settings.changes.keepLinks = true;
    return settings;
}

// Ends the queue's row `number` as saved in `file`, with the page's links.
RowResult saved(qint64 number, const QString &address, const QString &file, const QStringList &links = {})
{
    RowResult result;
    result.depth = 0;
    result.row = number;
    result.url = address;
    result.outcome = RowResult::Outcome::Saved;
    result.outputPath = file;
    result.page.finalUrl = address;
    result.page.links.follow = links;
    result.page.content = QStringLiteral("text of ") + address;
    return result;
}

} // namespace

class TestListCrawl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void foundPagesJoinTheListAndAStopResumes();
    void aNewPassLoadsEveryPageAgain();
};

void TestListCrawl::foundPagesJoinTheListAndAStopResumes()
{
    QTemporaryDir folder;
    UrlListModel list;
    list.appendRows({QStringLiteral("http://h.test/"), QStringLiteral("http://h.test/b")});
    {
        ListCrawl crawl(list, following());
        QString error;
        QVERIFY2(crawl.open(folder.path(), {1, 2}, false, &error), qPrintable(error));
        int listRow = 0;
        IRowSource::Next first = crawl.next(1, &listRow);
        QCOMPARE(first.text, QStringLiteral("http://h.test/"));
        QCOMPARE(listRow, 1);
        crawl.rowEnded(saved(1, first.text, folder.filePath(QStringLiteral("a.txt")),
                             {QStringLiteral("http://h.test/b"), QStringLiteral("http://h.test/c")}));
        QCOMPARE(crawl.next(2, &listRow).text, QStringLiteral("http://h.test/b"));
        QCOMPARE(listRow, 2);
        // A link to a listed row is not listed twice; a new page is appended.
        const IRowSource::Next found = crawl.next(3, &listRow);
        QCOMPARE(found.text, QStringLiteral("http://h.test/c"));
        QCOMPARE(found.depth, 1);
        QCOMPARE(listRow, 3);
        QCOMPARE(list.count(), 3);
        QCOMPARE(crawl.next(4, &listRow).answer, IRowSource::Answer::NotYet);
        // Stopped here: rows 2 and 3 were loading.
        RowResult stopped = saved(3, found.text, {});
        stopped.outcome = RowResult::Outcome::Stopped;
        crawl.rowEnded(stopped);
        QVERIFY(crawl.endPass(true).isEmpty());
    }
    // The same list again goes on with the rows that never ended, and adds nothing twice.
    ListCrawl again(list, following());
    QString error;
    QVERIFY2(again.open(folder.path(), {1, 2}, false, &error), qPrintable(error));
    QStringList given;
    int listRow = 0;
    for (qint64 number = 1;; ++number) {
        const IRowSource::Next next = again.next(number, &listRow);
        if (next.answer != IRowSource::Answer::Row)
            break;
        given << next.text;
        again.rowEnded(saved(number, next.text, folder.filePath(QString::number(number))));
    }
    given.sort();
    QCOMPARE(given, (QStringList{QStringLiteral("http://h.test/b"), QStringLiteral("http://h.test/c")}));
    QCOMPARE(list.count(), 3);
}

void TestListCrawl::aNewPassLoadsEveryPageAgain()
{
    QTemporaryDir folder;
    UrlListModel list;
    list.appendRows({QStringLiteral("http://h.test/"), QStringLiteral("http://other.test/")});
    QString error;
    int listRow = 0;
    {
        ListCrawl crawl(list, following());
        QVERIFY(crawl.open(folder.path(), {1}, false, &error));
        crawl.rowEnded(saved(1, crawl.next(1, &listRow).text, folder.filePath(QStringLiteral("h.txt"))));
        QCOMPARE(crawl.next(2, &listRow).answer, IRowSource::Answer::End);
    }
    // The same folder's state takes rows added to the list since; a new pass loads the saved page again.
    ListCrawl again(list, following());
    QVERIFY2(again.open(folder.path(), {1, 2}, true, &error), qPrintable(error));
    QStringList given;
    for (qint64 number = 1; again.next(number, &listRow).answer == IRowSource::Answer::Row; ++number)
        given << list.text(listRow);
    given.sort();
    QCOMPARE(given, (QStringList{QStringLiteral("http://h.test/"), QStringLiteral("http://other.test/")}));
}

QTEST_GUILESS_MAIN(TestListCrawl)
#include "tst_ListCrawl.moc"
