#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int Pages = 40;

QByteArray article(const QByteArray &body, const QByteArray &footer = "Built on Monday")
{
    return "<!DOCTYPE html><html><head><title>t</title></head><body><nav>Menu</nav><article><h1>Notes</h1>" + body
        + "</article><footer>" + footer + "</footer></body></html>";
}

// Long enough paragraphs that the main content is the article.
QByteArray paragraphs(int page)
{
    QByteArray text;
    for (int i = 0; i < 4; ++i) {
        text += "<p>Paragraph " + QByteArray::number(i) + " of page " + QByteArray::number(page)
            + ", which says what this page is about in a sentence long enough to count as the article's text, "
              "with commas, and more words after them.</p>";
    }
    return text;
}

QByteArray index(const QList<int> &pages)
{
    QByteArray body;
    for (int page : pages)
        body += "<p><a href=\"/site/p" + QByteArray::number(page) + "\">page " + QByteArray::number(page) + "</a></p>";
    return "<!DOCTYPE html><html><body>" + body + "</body></html>";
}

// The report's records, by address.
QHash<QString, QJsonObject> records(const QString &path)
{
    QHash<QString, QJsonObject> byAddress;
    for (const QByteArray &line : readTestFile(path).split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (!record.isEmpty())
            byAddress.insert(record.value(QStringLiteral("address")).toString(), record);
    }
    return byAddress;
}

} // namespace

// textorin-batch run twice over a site that changed in between.
class TestBatchChanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void secondRunTellsWhatChanged();

private:
    QString at(const QString &path) const { return m_server.url(path); }
    void serve(int page, const QByteArray &html, const QByteArray &etag);
    BatchProgram::Result crawl(const QString &folder, const QString &report);

    BatchProgram m_batch;
    LocalHttpServer &m_server = m_batch.server();
};

void TestBatchChanges::initTestCase()
{
    QVERIFY(m_batch.start());
}

void TestBatchChanges::serve(int page, const QByteArray &html, const QByteArray &etag)
{
    LocalHttpServer::Reply reply;
    reply.body = html;
    reply.etag = etag;
    m_server.route(QStringLiteral("/site/p%1").arg(page), reply);
}

BatchProgram::Result TestBatchChanges::crawl(const QString &folder, const QString &report)
{
    return m_batch.run({QStringLiteral("-r"), QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("--wait"),
                        QStringLiteral("0"), QStringLiteral("--main-content"), QStringLiteral("--changed-only"),
                        QStringLiteral("--diff"), QStringLiteral("--ignore-whitespace"), QStringLiteral("-P"), folder,
                        QStringLiteral("--report"), report, QStringLiteral("-u"), at(QStringLiteral("/site/"))});
}

// Seven kinds of change: two characters swapped, a paragraph added, whitespace
// only, a time outside the main content, a page removed (404) and one no longer
// linked, a page added; every other page answers 304 and is never sent again.
void TestBatchChanges::secondRunTellsWhatChanged()
{
    QList<int> linked;
    for (int page = 0; page < Pages; ++page) {
        linked << page;
        serve(page, article(paragraphs(page) + "<p>Price: $19</p><pre>one two\nthree</pre>"), "\"v1\"");
    }
    m_server.page(QStringLiteral("/site/"), index(linked));
    QTemporaryDir out;
    BatchProgram::Result result = crawl(out.path(), out.filePath(QStringLiteral("first.jsonl")));
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("Changes: new %1, changed 0, same 0, gone 0.").arg(Pages + 1)),
             qPrintable(result.out));
    const QString sameFile = out.filePath(QStringLiteral("127.0.0.1/site/p20.txt"));
    const QDateTime written = QFileInfo(sameFile).lastModified();
    const QByteArray unrecorded = readTestFile(out.filePath(QStringLiteral("127.0.0.1/site/p7.txt")));

    serve(1, article(paragraphs(1) + "<p>Price: $91</p><pre>one two\nthree</pre>"), "\"v2\"");
    serve(2, article(paragraphs(2) + "<p>Price: $19</p><p>A paragraph added.</p><pre>one two\nthree</pre>"), "\"v2\"");
    serve(3, article(paragraphs(3) + "<p>Price: $19</p><pre>one\ttwo  three</pre>"), "\"v2\"");
    serve(4, article(paragraphs(4) + "<p>Price: $19</p><pre>one two\nthree</pre>", "Built on Tuesday"), "\"v2\"");
    LocalHttpServer::Reply removed;
    removed.status = 404;
    removed.body = "gone";
    m_server.route(QStringLiteral("/site/p5"), removed);
    linked.removeAll(6);
    linked << Pages;
    serve(Pages, article(paragraphs(Pages)), "\"v1\"");
    m_server.page(QStringLiteral("/site/"), index(linked));
    // As a run killed between writing a file and recording it leaves it.
    QVERIFY(writeTestFile(out.filePath(QStringLiteral("127.0.0.1/site/p7.txt")), "text of no run"));
    QHash<QString, int> fullLoads;
    for (int page = 0; page <= Pages; ++page) {
        const QString path = QStringLiteral("/site/p%1").arg(page);
        fullLoads.insert(path, m_server.hits(path) - m_server.notModified(path));
    }
    QTest::qWait(1100); // a second for the files' times to tell

    result = crawl(out.path(), out.filePath(QStringLiteral("second.jsonl")));
    QCOMPARE(result.exitCode, 1); // the 404
    const QHash<QString, QJsonObject> second = records(out.filePath(QStringLiteral("second.jsonl")));
    QHash<QString, QString> changes;
    for (auto it = second.begin(); it != second.end(); ++it)
        changes.insert(it.key(), it->value(QStringLiteral("change")).toString());
    const auto changeOf = [&](int page) { return changes.value(at(QStringLiteral("/site/p%1").arg(page))); };
    // The index's main content is whatever the article finder makes of a list of links: not asserted.
    const QString index = changes.take(at(QStringLiteral("/site/")));
    QCOMPARE(changeOf(1), QStringLiteral("changed"));
    QCOMPARE(changeOf(2), QStringLiteral("changed"));
    QCOMPARE(changeOf(3), QStringLiteral("same"));
    QCOMPARE(changeOf(4), QStringLiteral("same"));
    QCOMPARE(changeOf(5), QStringLiteral("gone"));
    QCOMPARE(changeOf(6), QStringLiteral("gone"));
    QCOMPARE(second.value(at(QStringLiteral("/site/p6"))).value(QStringLiteral("reason")).toString(),
             QStringLiteral("no longer linked"));
    QCOMPARE(changeOf(Pages), QStringLiteral("new"));
    QCOMPARE(changes.size(), Pages + 1);
    const qsizetype same = std::count(changes.begin(), changes.end(), QStringLiteral("same"));
    QCOMPARE(same, Pages - 4);
    const QString summary = index == QLatin1String("same") ? QStringLiteral("new 1, changed 2, same %1, gone 2.")
                                                           : QStringLiteral("new 1, changed 3, same %1, gone 2.");
    QVERIFY2(
        result.out.contains(QStringLiteral("Changes: ") + summary.arg(Pages - 4 + (index == QLatin1String("same")))),
        qPrintable(result.out));

    // Exactly the changed pages have diffs, and each says what changed.
    QStringList diffs = QDir(out.filePath(QStringLiteral("127.0.0.1/site"))).entryList({QStringLiteral("*.diff")});
    diffs.removeAll(QStringLiteral("index.txt.diff"));
    QCOMPARE(diffs, (QStringList{QStringLiteral("p1.txt.diff"), QStringLiteral("p2.txt.diff")}));
    const QByteArray swapped = readTestFile(out.filePath(QStringLiteral("127.0.0.1/site/p1.txt.diff")));
    QVERIFY2(swapped.contains("\n-Price: $19\n+Price: $91\n"), swapped.constData());
    const QByteArray added = readTestFile(out.filePath(QStringLiteral("127.0.0.1/site/p2.txt.diff")));
    QVERIFY2(added.contains("\n+A paragraph added.\n") && !added.contains("\n-"), added.constData());

    // Unchanged pages answered 304, never in full; their files kept their time.
    for (int page : {0, 8, 20, 39}) {
        const QString path = QStringLiteral("/site/p%1").arg(page);
        QCOMPARE(m_server.hits(path) - m_server.notModified(path), fullLoads.value(path));
        QCOMPARE(m_server.lastHeaders(path).value("if-none-match"), QByteArray("\"v1\""));
    }
    QCOMPARE(QFileInfo(sameFile).lastModified(), written);
    // The file that was not what was recorded is loaded in full and written again.
    QCOMPARE(m_server.hits(QStringLiteral("/site/p7")) - m_server.notModified(QStringLiteral("/site/p7")),
             fullLoads.value(QStringLiteral("/site/p7")) + 1);
    QCOMPARE(changeOf(7), QStringLiteral("same"));
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1/site/p7.txt"))), unrecorded);
}

QTEST_GUILESS_MAIN(TestBatchChanges)
#include "tst_BatchChanges.moc"
