#include "batch/BodyFetch.h"
#include "batch/FeedReader.h"
#include "batch/SitemapReader.h"
#include "batch/WebListRows.h"
#include "engine/IPage.h"
#include "fakes/CountingEventPump.h"

#include <QtTest>

namespace {

// Answers each address at once with its body, or 404.
class BodyPage : public IPage
{
public:
    void load(const QString &row) override { loadBody(row, 0); }
    void loadBody(const QString &address, qint64) override
    {
        m_outcome =
            bodies.contains(address) ? PageOutcome() : PageOutcome::failedWith(QStringLiteral("HTTP error 404"));
        m_outcome.body = bodies.value(address);
        m_outcome.contentType = types.value(address);
        notifyDone();
    }
    bool isDone() const override { return true; }
    PageOutcome takeOutcome() override { return m_outcome; }

    QHash<QString, QByteArray> bodies;
    QHash<QString, QString> types;

private:
    PageOutcome m_outcome;
};

// The next row of a reader, waiting while its file is on its way; false after the last.
template <typename Reader>
bool nextOf(Reader &reader, QString &address, QString &failure, QDateTime *lastModified = nullptr)
{
    IRowSource::Answer answer;
    while ((answer = reader.next(address, failure, lastModified)) == IRowSource::Answer::NotYet)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return answer == IRowSource::Answer::Row;
}

QByteArray urlSet(int count)
{
    QByteArray xml = "<urlset>";
    for (int i = 0; i < count; ++i)
        xml += "<url><loc>http://h/" + QByteArray::number(i) + "</loc><lastmod>x</lastmod></url>";
    return xml + "</urlset>";
}

} // namespace

class TestSitemapReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void indexesAreFollowedOnceAndFilesCapped();
    void feedsGiveTheirItemsLinks();
    void readingIsToldBeforeEachFetch();
    void htmlPagesAreNamedAsSuch_data();
    void htmlPagesAreNamedAsSuch();
    void entriesWithUndefinedEntitiesAreLeftOut();
    void lastModifiedIsReadInUtc_data();
    void lastModifiedIsReadInUtc();
    void rowsOlderThanChangedSinceAreLeftOut();
};

void TestSitemapReader::indexesAreFollowedOnceAndFilesCapped()
{
    BodyPage page;
    CountingEventPump pump;
    BodyFetch fetch(page, pump, std::chrono::seconds(1));
    page.bodies.insert(QStringLiteral("http://h/index"),
                       "<sitemapindex><sitemap><loc>/index</loc></sitemap><sitemap><loc>big</loc></sitemap>"
                       "<sitemap><loc>http://h/text</loc></sitemap><sitemap><loc>/gone</loc></sitemap></sitemapindex>");
    page.bodies.insert(QStringLiteral("http://h/big"), urlSet(int(SitemapReader::MaxEntries) + 2));
    page.bodies.insert(QStringLiteral("http://h/text"), "http://h/t1\r\n\r\nfile:///etc/passwd\n");
    QStringList warnings;
    SitemapReader reader(fetch, QStringLiteral("http://h/index"), [&](const QString &w) { warnings << w; });
    QString address;
    QString failure;
    qint64 rows = 0;
    while (nextOf(reader, address, failure) && address.startsWith(QStringLiteral("http://h/")) && failure.isEmpty()
           && address != QStringLiteral("http://h/t1"))
        ++rows;
    QCOMPARE(rows, SitemapReader::MaxEntries);
    QCOMPARE(warnings.size(), 2);
    QVERIFY2(warnings.at(0).contains(QStringLiteral("http://h/index is listed again")), qPrintable(warnings.at(0)));
    QVERIFY2(warnings.at(1).contains(QStringLiteral("http://h/big lists 2 more entries")), qPrintable(warnings.at(1)));
    QCOMPARE(address, QStringLiteral("http://h/t1"));
    // A sitemap of the web names no local file.
    QVERIFY(nextOf(reader, address, failure) && !failure.isEmpty());
    QVERIFY(!nextOf(reader, address, failure));
    QCOMPARE(reader.error(), QStringLiteral("cannot read sitemap http://h/gone: HTTP error 404"));
}

void TestSitemapReader::feedsGiveTheirItemsLinks()
{
    FeedReader atom(
        "<feed xmlns=\"http://www.w3.org/2005/Atom\"><link href=\"/feed\"/><entry>"
        "<link rel=\"self\" href=\"/self\"/><link href=\"a\"/></entry>"
        "<entry><content><link href=\"/inner\"/></content><link rel=\"alternate\" href=\"http://o/b\"/></entry></feed>",
        QUrl(QStringLiteral("http://h/blog/")));
    QString link;
    QVERIFY(atom.next(link) && link == QStringLiteral("http://h/blog/a"));
    QVERIFY(atom.next(link) && link == QStringLiteral("http://o/b"));
    QVERIFY(!atom.next(link) && atom.error().isEmpty());

    FeedReader rdf("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><channel><link>http://h/</link>"
                   "</channel><item><link> http://h/1 </link></item><item><title>broken",
                   QUrl(QStringLiteral("http://h/")));
    QVERIFY(rdf.next(link) && link == QStringLiteral("http://h/1"));
    QVERIFY(!rdf.next(link) && !rdf.error().isEmpty());
    FeedReader page("<html><body/></html>", QUrl());
    QVERIFY(!page.next(link) && page.error().contains(QStringLiteral("<html>")));
}

void TestSitemapReader::readingIsToldBeforeEachFetch()
{
    BodyPage page;
    CountingEventPump pump;
    BodyFetch fetch(page, pump, std::chrono::seconds(1));
    page.bodies.insert(QStringLiteral("http://h/index"),
                       "<sitemapindex><sitemap><loc>a</loc></sitemap><sitemap><loc>b</loc></sitemap></sitemapindex>");
    page.bodies.insert(QStringLiteral("http://h/a"), urlSet(2));
    page.bodies.insert(QStringLiteral("http://h/b"), urlSet(1));
    page.bodies.insert(QStringLiteral("http://h/feed"),
                       "<rss><channel><item><link>http://h/f</link></item></channel></rss>");
    WebListRows rows(fetch,
                     {{WebSource::Kind::Sitemap, QStringLiteral("http://h/index")},
                      {WebSource::Kind::Feed, QStringLiteral("http://h/feed")}},
                     {});
    QStringList told;
    rows.setReading([&](const QString &what) { told << what; });
    QString address;
    QString failure;
    while (nextOf(rows, address, failure)) {
    }
    QVERIFY(rows.allRead() && rows.rows() == 4);
    QCOMPARE(
        told,
        (QStringList{"reading sitemap http://h/index", "reading sitemap http://h/index (1 file, 0 rows so far)", "",
                     "reading sitemap http://h/index (2 files, 2 rows so far)", "", "reading feed http://h/feed", ""}));
}

void TestSitemapReader::htmlPagesAreNamedAsSuch_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("error");
    const QString html = QStringLiteral("cannot read sitemap http://h/s: it is an HTML page, not a sitemap");
    QTest::newRow("lower-case doctype") << QByteArray("\n<!doctype html><p>x") << QString() << html;
    QTest::newRow("after a comment") << QByteArray("<!-- x --><HTML lang=en><p>") << QString() << html;
    QTest::newRow("well-formed") << QByteArray("<html><body/></html>") << QString() << html;
    QTest::newRow("served as one") << QByteArray("<div>x</div>") << QStringLiteral("text/html; charset=utf-8") << html;
    QTest::newRow("other XML")
        << QByteArray("<feed/>") << QString()
        << QStringLiteral("cannot read sitemap http://h/s: it is a feed, not a sitemap (hint: --feed reads it)");
}

void TestSitemapReader::htmlPagesAreNamedAsSuch()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, type);
    QFETCH(QString, error);
    BodyPage page;
    CountingEventPump pump;
    BodyFetch fetch(page, pump, std::chrono::seconds(1));
    page.bodies.insert(QStringLiteral("http://h/s"), body);
    page.types.insert(QStringLiteral("http://h/s"), type);
    SitemapReader reader(fetch, QStringLiteral("http://h/s"), {});
    QString address;
    QString failure;
    QVERIFY(!nextOf(reader, address, failure));
    QCOMPARE(reader.error(), error);

    // A sitemap whose server calls it a page is read all the same.
    page.bodies.insert(QStringLiteral("http://h/t"), urlSet(1));
    page.types.insert(QStringLiteral("http://h/t"), QStringLiteral("text/html"));
    SitemapReader sitemap(fetch, QStringLiteral("http://h/t"), {});
    QVERIFY(nextOf(sitemap, address, failure) && address == QStringLiteral("http://h/0"));
}

void TestSitemapReader::entriesWithUndefinedEntitiesAreLeftOut()
{
    BodyPage page;
    CountingEventPump pump;
    BodyFetch fetch(page, pump, std::chrono::seconds(1));
    const QByteArray entries = "<urlset>\n<url><loc>http://h/a&nbsp;b</loc></url>\n<url><loc>http://h/c&amp;d</loc>"
                               "<caption>&copy;</caption></url>\n<url><loc>http://h/e</loc></url></urlset>";
    for (const QByteArray &doctype : {QByteArray(), QByteArray("<!DOCTYPE urlset SYSTEM \"s.dtd\">")}) {
        page.bodies.insert(QStringLiteral("http://me:pw@h/s"), doctype + entries);
        QStringList warnings;
        SitemapReader reader(fetch, QStringLiteral("http://me:pw@h/s"), [&](const QString &w) { warnings << w; });
        QStringList addresses;
        QString address;
        QString failure;
        while (nextOf(reader, address, failure))
            addresses << address;
        QCOMPARE(reader.error(), QString());
        QCOMPARE(addresses, (QStringList{"http://h/c&d", "http://h/e"}));
        QCOMPARE(warnings,
                 QStringList{"sitemap http://h/s has an undefined entity &nbsp; in an entry (line 2); "
                             "the entry is left out"});
    }
}

void TestSitemapReader::lastModifiedIsReadInUtc_data()
{
    QTest::addColumn<QString>("lastmod");
    QTest::addColumn<QDateTime>("expected");
    const auto utc = [](int day, int hour, int minute, int second = 0, int ms = 0) {
        return QDateTime(QDate(2024, 5, day), QTime(hour, minute, second, ms), QTimeZone::utc());
    };
    QTest::newRow("day") << "2024-05-01" << utc(1, 0, 0);
    QTest::newRow("minutes in UTC") << "2024-05-01T10:00Z" << utc(1, 10, 0);
    QTest::newRow("seconds, ahead of UTC") << "2024-05-01T10:00:00+02:00" << utc(1, 8, 0);
    QTest::newRow("fraction, behind UTC, next day") << "2024-05-01T23:30:15.25-05:30" << utc(2, 5, 0, 15, 250);
    QTest::newRow("long fraction") << "2024-05-01T10:00:00.123456Z" << utc(1, 10, 0, 0, 123);
    QTest::newRow("spaces around") << " 2024-05-01T10:00Z\n" << utc(1, 10, 0);
    for (const char *invalid : {"", "yesterday", "2024-05", "2024-13-01", "2024-02-30", "2024-05-01T10:00",
                                "2024-05-01 10:00Z", "2024-05-01T24:00Z", "2024-05-01T10:00+24:00", "1714557600"})
        QTest::newRow(invalid) << invalid << QDateTime();
}

void TestSitemapReader::lastModifiedIsReadInUtc()
{
    QFETCH(QString, lastmod);
    QFETCH(QDateTime, expected);
    BodyPage page;
    CountingEventPump pump;
    BodyFetch fetch(page, pump, std::chrono::seconds(1));
    // The date follows the address; the next entry has none.
    page.bodies.insert(QStringLiteral("http://h/s"),
                       "<urlset><url><loc>http://h/a</loc><lastmod>" + lastmod.toUtf8()
                           + "</lastmod></url><url><loc>http://h/b</loc></url></urlset>");
    SitemapReader reader(fetch, QStringLiteral("http://h/s"), {});
    QString address;
    QString failure;
    QDateTime lastModified;
    QVERIFY(nextOf(reader, address, failure, &lastModified) && address == QStringLiteral("http://h/a"));
    QCOMPARE(lastModified, expected);
    if (expected.isValid())
        QCOMPARE(lastModified.timeSpec(), Qt::UTC);
    QVERIFY(nextOf(reader, address, failure, &lastModified) && address == QStringLiteral("http://h/b"));
    QCOMPARE(lastModified, QDateTime());
}

void TestSitemapReader::rowsOlderThanChangedSinceAreLeftOut()
{
    BodyPage page;
    CountingEventPump pump;
    BodyFetch fetch(page, pump, std::chrono::seconds(1));
    // An index's own dates leave nothing out.
    page.bodies.insert(QStringLiteral("http://h/index"),
                       "<sitemapindex><sitemap><loc>dated</loc><lastmod>2000-01-01</lastmod></sitemap>"
                       "<sitemap><loc>text</loc><lastmod>2000-01-01</lastmod></sitemap></sitemapindex>");
    page.bodies.insert(QStringLiteral("http://h/dated"),
                       "<urlset><url><loc>http://h/before</loc><lastmod>2024-05-01T09:59:59Z</lastmod></url>"
                       "<url><lastmod>2024-05-01T12:00+02:00</lastmod><loc>http://h/at</loc></url>"
                       "<url><loc>http://h/after</loc><lastmod>2024-05-02</lastmod></url>"
                       "<url><loc>http://h/undated</loc></url></urlset>");
    page.bodies.insert(QStringLiteral("http://h/text"), "http://h/listed\n");
    page.bodies.insert(QStringLiteral("http://h/feed"),
                       "<rss><channel><item><link>http://h/item</link></item></channel></rss>");
    WebListRows rows(fetch,
                     {{WebSource::Kind::Sitemap, QStringLiteral("http://h/index")},
                      {WebSource::Kind::Feed, QStringLiteral("http://h/feed")}},
                     {});
    const QDateTime since(QDate(2024, 5, 1), QTime(10, 0), QTimeZone::utc());
    rows.setChangedSince(since);
    QStringList given;
    QList<QDateTime> dates;
    QString address;
    QString failure;
    QDateTime lastModified;
    while (nextOf(rows, address, failure, &lastModified)) {
        given << address;
        dates << lastModified;
    }
    QCOMPARE(rows.error(), QString());
    QCOMPARE(given,
             (QStringList{"http://h/at", "http://h/after", "http://h/undated", "http://h/listed", "http://h/item"}));
    QCOMPARE(dates, (QList<QDateTime>{since, since.addSecs(14 * 3600), {}, {}, {}}));
    QCOMPARE(rows.leftOutAsUnchanged(), 1);
    QCOMPARE(rows.rows(), 5);
}

QTEST_GUILESS_MAIN(TestSitemapReader)
#include "tst_SitemapReader.moc"
