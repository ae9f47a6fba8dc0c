#include "batch/BatchRun.h"
#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <memory>
#include <tuple>
#include <utility>

// textorin-batch's files and texts: their names and folders, -O -, formats, the archive, the report.
class TestBatchOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void savesEveryListedPage();
    void addressesComeFirstAndMissingFoldersAreMade();
    void currentFolderByDefaultAndCommentsAreNoRows();
    void collidingNamesKeepEveryPage();
    void parallelRowsEndAsOneAtATime();
    void archiveAndNoClobberSkipWhatIsSaved();
    void reportHasOneObjectPerRow();
    void templateWarningsAndUndoubledExtension();
    void retryFailedRowsUnderTheirNames();
    void neverWritesThroughALink();
    void shardsSplitTheListWithoutOverlapOrGap();
    void nameTemplateMakesFoldersAndStaysInside();
    void standardOutputKeepsListOrderAndEndsWhenClosed();
    void formatsKeepTheArticleAndItsStructure();
    void documentationFaultsConvertAndKeepTheArticle();
    void metadataIsWhatThePageStatesOrNull();
    void jsonLinesHoldEveryRecordInListOrder();

private:
    BatchProgram m_batch;
    LocalHttpServer &m_server = m_batch.server();
};

void TestBatchOutput::initTestCase()
{
    QVERIFY(m_batch.start());
}

void TestBatchOutput::savesEveryListedPage()
{
    QTemporaryDir out;
    const QByteArray list = (m_server.url("/one") + "\r\n\r\n   \n" + m_server.url("/two")).toUtf8();
    const BatchProgram::Result result = m_batch.run({QStringLiteral("--folder"), out.path(), m_batch.writeList(list)});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("Done.\n")), qPrintable(result.out));
    QVERIFY(result.out.contains(QStringLiteral("Saved 2, failed 0, skipped 0.")));
    QCOMPARE(result.out.count(QStringLiteral("] saved ")), 2);
    const QStringList files = QDir(out.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 2);
    QFile two(out.filePath(QStringLiteral("127.0.0.1 %1_two.txt").arg(m_server.port())));
    QVERIFY(two.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(two.readAll()), QStringLiteral("two ✓"));
}

void TestBatchOutput::addressesComeFirstAndMissingFoldersAreMade()
{
    QTemporaryDir out;
    const QString folder = out.filePath(QStringLiteral("new/deeper"));
    const BatchProgram::Result result = m_batch.run(
        {QStringLiteral("-u"), m_server.url("/one"), QStringLiteral("--folder"), folder,
         m_batch.writeList(m_server.url("/two").toUtf8()), QStringLiteral("--url"), m_server.url("/width")});
    QCOMPARE(result.exitCode, 0);
    static const QRegularExpression saved(QStringLiteral("^\\[(\\d+)/\\S+\\] saved (\\S+) -> "),
                                          QRegularExpression::MultilineOption);
    // Rows are printed as they finish, each with its row number.
    QMap<int, QString> rows;
    for (auto match = saved.globalMatch(result.out); match.hasNext();) {
        const auto row = match.next();
        rows.insert(row.captured(1).toInt(), row.captured(2));
    }
    QCOMPARE(rows.values(), (QStringList{m_server.url("/one"), m_server.url("/width"), m_server.url("/two")}));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);
}

void TestBatchOutput::currentFolderByDefaultAndCommentsAreNoRows()
{
    const QString list = m_batch.writeList(("# my pages\n  ; old ones\n" + m_server.url("/one") + "\n\n#"
                                            + m_server.url("/two") + "\n" + m_server.url("/two"))
                                               .toUtf8());
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("-i"), list, QStringLiteral("-u"), QStringLiteral("#not a comment")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("[1/3] FAILED #not a comment")), qPrintable(result.out));
    QVERIFY(
        result.out.contains(QStringLiteral("[3/3] saved %1 -> %2/").arg(m_server.url("/two"), m_batch.currentPath())));
    QVERIFY(
        result.out.endsWith(QStringLiteral("Saved 2, failed 1, skipped 0. Folder: %1\n").arg(m_batch.currentPath())));
    QCOMPARE(QDir(m_batch.currentPath()).entryList(QDir::Files).size(), 2);
}

void TestBatchOutput::collidingNamesKeepEveryPage()
{
    QTemporaryDir out;
    m_server.page("/a/b", "<html><body>slash</body></html>");
    m_server.page("/a_b", "<html><body>underscore</body></html>");
    const QString base = QStringLiteral("127.0.0.1 %1_a_b").arg(m_server.port());
    const QString list = m_server.url("/a/b") + "\n" + m_server.url("/a_b") + "\n" + m_server.url("/a/b");
    const BatchProgram::Result result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--settle"),
                                                     QStringLiteral("0"), m_batch.writeList(list.toUtf8())});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(out.filePath(base + ".txt")), QByteArray("slash"));
    QCOMPARE(readTestFile(out.filePath(base + " (2).txt")), QByteArray("underscore"));
    QVERIFY2(result.out.contains(base + " (2).txt (numbered: an earlier row has the plain name)"),
             qPrintable(result.out));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 2);
}

void TestBatchOutput::parallelRowsEndAsOneAtATime()
{
    // A slow failing row whose name later rows share: its number stays reserved,
    // and the row of its own address waits for it.
    LocalHttpServer::Reply slowGone;
    slowGone.status = 404;
    slowGone.delayMs = 2000;
    slowGone.body = "<html><body>gone</body></html>";
    m_server.route("/p/x_y", slowGone);
    m_server.page("/p/x/y", "<html><body>slash</body></html>");
    const QString list = QStringList{m_server.url("/p/x_y"), m_server.url("/one"),   m_server.url("/p/x/y"),
                                     m_server.url("/two"),   m_server.url("/p/x_y"), m_server.url("/width")}
                             .join(QLatin1Char('\n'));
    const QString listFile = m_batch.writeList(list.toUtf8());
    QMap<QString, QByteArray> files[2];
    QMap<int, QString> outcomes[2];
    QString out[2];
    for (int run = 0; run < 2; ++run) {
        QTemporaryDir folder;
        const QString report = m_batch.filePath(QStringLiteral("jobs%1.jsonl").arg(run));
        const BatchProgram::Result result =
            m_batch.run({QStringLiteral("--folder"), folder.path(), QStringLiteral("--settle"), QStringLiteral("0"),
                         QStringLiteral("-j"), run ? QStringLiteral("4") : QStringLiteral("1"),
                         QStringLiteral("--report"), report, listFile});
        QCOMPARE(result.exitCode, 1);
        out[run] = result.out;
        for (const QString &name : QDir(folder.path()).entryList(QDir::Files))
            files[run].insert(name, readTestFile(folder.filePath(name)));
        for (const QByteArray &line : readTestFile(report).split('\n')) {
            const QJsonObject row = QJsonDocument::fromJson(line).object();
            if (!row.isEmpty())
                outcomes[run].insert(row.value(QStringLiteral("row")).toInt(),
                                     row.value(QStringLiteral("outcome")).toString() + QLatin1Char(' ')
                                         + row.value(QStringLiteral("file")).toString());
        }
    }
    QCOMPARE(files[1], files[0]);
    QCOMPARE(outcomes[1], outcomes[0]);
    QCOMPARE(outcomes[0].size(), 6);
    QVERIFY(files[0].contains(QStringLiteral("127.0.0.1 %1_p_x_y (2).txt").arg(m_server.port())));
    // One at a time the rows end in list order; four at a time the slow first row ends later.
    QVERIFY2(out[0].startsWith(QStringLiteral("[1/6] FAILED")), qPrintable(out[0]));
    QVERIFY2(out[1].indexOf(QStringLiteral("[1/6] FAILED")) > out[1].indexOf(QStringLiteral("[2/6] saved")),
             qPrintable(out[1]));
}

void TestBatchOutput::archiveAndNoClobberSkipWhatIsSaved()
{
    QTemporaryDir out;
    m_server.page("/x/y", "<html><body>x y</body></html>");
    m_server.page("/x_y", "<html><body>x underscore y</body></html>");
    const QString archive = out.filePath(QStringLiteral("done.tsv"));
    const QString base = QStringLiteral("127.0.0.1 %1_x_y").arg(m_server.port());
    // A first run saved only the first row before it was stopped.
    BatchProgram::Result result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--archive"),
                                               archive, QStringLiteral("-u"), m_server.url("/x/y")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(archive),
             ("# textorin archive 2\n" + m_server.url("/x/y") + "\t" + base + ".txt\n").toUtf8());
    // The resumed run skips it and numbers the colliding row as the whole run would have.
    const QString list = m_batch.writeList((m_server.url("/x/y") + "\n" + m_server.url("/x_y")).toUtf8());
    result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--archive"), archive, list});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("skipped %1 (in the archive)").arg(m_server.url("/x/y"))),
             qPrintable(result.out));
    QVERIFY(result.out.contains(QStringLiteral("Saved 1, failed 0, skipped 1.")));
    QCOMPARE(readTestFile(out.filePath(base + " (2).txt")), QByteArray("x underscore y"));
    QCOMPARE(m_server.hits(QStringLiteral("/x/y")), 1);

    // --no-clobber: the file exists, the row is not loaded again.
    result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--no-clobber"), QStringLiteral("-u"),
                          m_server.url("/x/y")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.contains(QStringLiteral("(exists)")));
    QCOMPARE(m_server.hits(QStringLiteral("/x/y")), 1);
}

void TestBatchOutput::reportHasOneObjectPerRow()
{
    QTemporaryDir out;
    const QString list = m_batch.writeList((m_server.url("/one") + "\n" + m_server.url("/missing")).toUtf8());
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--report"), QStringLiteral("-"), list});
    QCOMPARE(result.exitCode, 1);
    const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList keys{"address",   "author",    "bytes",       "canonical",   "content_type", "description",
                           "file",      "final_url", "folder",      "http_status", "lang",         "modified",
                           "ms",        "note",      "outcome",     "published",   "reason",       "row",
                           "site_name", "started",   "text_sha256", "title",       "tries",        "word_count"};
    QJsonObject saved = QJsonDocument::fromJson(lines.at(0).toUtf8()).object();
    QJsonObject failed = QJsonDocument::fromJson(lines.at(1).toUtf8()).object();
    if (saved.value(QStringLiteral("row")).toInt() == 2)
        std::swap(saved, failed);
    QCOMPARE(saved.keys(), keys);
    QCOMPARE(failed.keys(), keys);
    QCOMPARE(saved.value(QStringLiteral("outcome")).toString(), QStringLiteral("saved"));
    QCOMPARE(saved.value(QStringLiteral("bytes")).toInt(), 3);
    QCOMPARE(saved.value(QStringLiteral("http_status")).toInt(), 200);
    QCOMPARE(saved.value(QStringLiteral("content_type")).toString(), QStringLiteral("text/html"));
    QCOMPARE(failed.value(QStringLiteral("row")).toInt(), 2);
    QCOMPARE(failed.value(QStringLiteral("http_status")).toInt(), 404);
    QCOMPARE(failed.value(QStringLiteral("reason")).toString(), QStringLiteral("HTTP error 404 Not Found"));
    QCOMPARE(failed.value(QStringLiteral("tries")).toInt(), 1);
    // The row lines and the summary go to standard error instead.
    QVERIFY(result.err.contains(QStringLiteral("Saved 1, failed 1, skipped 0.")));
}

void TestBatchOutput::templateWarningsAndUndoubledExtension()
{
    QTemporaryDir out;
    const QString list = m_batch.writeList((m_server.url("/one") + "\n" + m_server.url("/two")).toUtf8());
    BatchProgram::Result result = m_batch.run(
        {QStringLiteral("--folder"), out.path(), QStringLiteral("-o"), QStringLiteral("%(title)s.txt"), list});
    QCOMPARE(result.exitCode, 0);
    // Each warning once, before the rows; the name keeps its one extension and is numbered.
    QCOMPARE(result.err.count(QStringLiteral("warning: -o %(title)s.txt: \"%(NAME)s\" is no field here")), 1);
    QCOMPARE(result.err.count(QStringLiteral("warning: -o %(title)s.txt has no field")), 1);
    QStringList files = QDir(out.path()).entryList(QDir::Files);
    files.sort();
    QCOMPARE(files, (QStringList{QStringLiteral("%(title)s (2).txt"), QStringLiteral("%(title)s.txt")}));

    // One address: no warning; a template ending in another format's extension keeps both.
    result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("-o"), QStringLiteral("x.txt"),
                          QStringLiteral("--format"), QStringLiteral("json"), m_server.url("/one")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(!result.err.contains(QStringLiteral("warning")), qPrintable(result.err));
    QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("x.txt.json"))));
}

void TestBatchOutput::retryFailedRowsUnderTheirNames()
{
    QTemporaryDir out;
    const QString report = out.filePath(QStringLiteral("first.jsonl"));
    const auto records = [&report] {
        QList<QJsonObject> objects;
        for (const QByteArray &line : readTestFile(report).split('\n')) {
            if (!line.isEmpty())
                objects << QJsonDocument::fromJson(line).object();
        }
        return objects;
    };
    // Blank lines are no rows: the summary counts what the report holds.
    const QString list = m_batch.writeList(
        (m_server.url("/one") + "\n\n  \n" + m_server.url("/later") + "\n" + m_server.url("/two")).toUtf8());
    const QStringList named{QStringLiteral("--folder"), out.path(), QStringLiteral("-o"), QStringLiteral("{row}")};
    BatchProgram::Result result = m_batch.run(named + QStringList{QStringLiteral("--report"), report, list});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("Saved 2, failed 1, skipped 0.")), qPrintable(result.out));
    QList<QJsonObject> first = records();
    QCOMPARE(first.size(), 3);
    // Rows end in any order.
    const QJsonObject saved = *std::find_if(first.begin(), first.end(), [](const QJsonObject &record) {
        return record.value(QStringLiteral("row")).toInt() == 1;
    });
    QCOMPARE(saved.value(QStringLiteral("final_url")).toString(), m_server.url("/one"));
    QCOMPARE(saved.value(QStringLiteral("folder")).toString(), QDir(out.path()).absolutePath());
    QVERIFY(QDateTime::fromString(saved.value(QStringLiteral("started")).toString(), Qt::ISODateWithMs).isValid());

    // The failed row alone runs again, as row 2, besides no other.
    m_server.page(QStringLiteral("/later"), "<html><body>later</body></html>");
    const int oneHits = m_server.hits(QStringLiteral("/one"));
    result = m_batch.run(named + QStringList{QStringLiteral("--retry-failed"), report});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("Saved 1, failed 0, skipped 0.")), qPrintable(result.out));
    QCOMPARE(m_server.hits(QStringLiteral("/one")), oneHits);
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("2.txt"))), QByteArray("later"));
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("1.txt"))), QByteArray("one"));

    // A rerun in another order never replaces another row's file: it is numbered, and says so.
    result = m_batch.run(named + QStringList{m_server.url("/two")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.contains(QStringLiteral("(numbered: 1.txt was there before the run)")), qPrintable(result.out));
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("1.txt"))), QByteArray("one"));
    QVERIFY(readTestFile(out.filePath(QStringLiteral("1 (2).txt"))).startsWith("two"));

    const QString empty = out.filePath(QStringLiteral("none.jsonl"));
    QVERIFY(writeTestFile(empty, "{\"address\":\"http://h/\",\"outcome\":\"saved\"}\n"));
    result = m_batch.run(named + QStringList{QStringLiteral("--retry-failed"), empty});
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(QStringLiteral("has no failed rows to retry")), qPrintable(result.err));
}

void TestBatchOutput::neverWritesThroughALink()
{
    QTemporaryDir out;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("precious"));
    QVERIFY(writeTestFile(target, "keep me"));
    const QString link = out.filePath(QStringLiteral("127.0.0.1 %1_one.txt").arg(m_server.port()));
    QVERIFY(QFile::link(target, link));
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("-u"), m_server.url("/one")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("is a symbolic link")), qPrintable(result.out));
    QCOMPARE(readTestFile(target), QByteArray("keep me"));
    QVERIFY(QFileInfo(link).isSymLink());
}

void TestBatchOutput::shardsSplitTheListWithoutOverlapOrGap()
{
    QSet<QString> seen;
    for (int i = 0; i < 1000; ++i) {
        const QString name = QStringLiteral("host.example_page-%1.txt").arg(i);
        const int shard = BatchRun::shardOf(name, 3);
        QVERIFY(shard >= 1 && shard <= 3);
        QCOMPARE(BatchRun::shardOf(name, 3), shard);
        seen.insert(QString::number(shard));
    }
    QCOMPARE(seen.size(), 3);

    QByteArray list;
    for (int i = 0; i < 8; ++i) {
        m_server.page(QStringLiteral("/s_%1").arg(i), "<html><body>page</body></html>");
        list += m_server.url(QStringLiteral("/s_%1").arg(i)).toUtf8() + '\n';
    }
    m_server.page("/s/0", "<html><body>slash</body></html>");
    list += m_server.url("/s/0").toUtf8() + '\n'; // the same name as row 1
    const QString listFile = m_batch.writeList(list);
    QTemporaryDir first;
    QTemporaryDir second;
    m_batch.run({QStringLiteral("--folder"), first.path(), QStringLiteral("--shard"), QStringLiteral("1/2"), listFile});
    m_batch.run(
        {QStringLiteral("--folder"), second.path(), QStringLiteral("--shard"), QStringLiteral("2/2"), listFile});
    const QStringList one = QDir(first.path()).entryList(QDir::Files);
    const QStringList two = QDir(second.path()).entryList(QDir::Files);
    QCOMPARE(one.size() + two.size(), 9 - 1 + 1);
    for (const QString &name : one)
        QVERIFY2(!two.contains(name), qPrintable(name));
    // The colliding rows stay together and are numbered as in the whole run.
    const QString numbered = QStringLiteral("127.0.0.1 %1_s_0 (2).txt").arg(m_server.port());
    QVERIFY(one.contains(numbered) != two.contains(numbered));
    QCOMPARE(m_batch.run({QStringLiteral("--shard"), QStringLiteral("3/2"), QStringLiteral("-u"), QStringLiteral("x")})
                 .exitCode,
             2);
}

void TestBatchOutput::nameTemplateMakesFoldersAndStaysInside()
{
    QTemporaryDir out;
    m_server.page("/dir/deep/", "<html><body>deep</body></html>");
    m_server.page("/one?x", "<html><body>one x</body></html>");
    const QString host = QStringLiteral("127.0.0.1");
    const QString list = m_server.url("/one") + "\n" + m_server.url("/dir/deep/") + "\n"
        + m_server.url("/dir/%2e%2e/%2e%2e/escaped") + "\n" + m_server.url("/one?x");
    const QString report = out.filePath(QStringLiteral("report.jsonl"));
    BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("-o"), QStringLiteral("{host}/{path}"),
                     QStringLiteral("--archive"), out.filePath(QStringLiteral("done.tsv")), QStringLiteral("--report"),
                     report, m_batch.writeList(list.toUtf8())});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(readTestFile(out.filePath(host + QStringLiteral("/one.txt"))), QByteArray("one"));
    QCOMPARE(readTestFile(out.filePath(host + QStringLiteral("/dir/deep/index.txt"))), QByteArray("deep"));
    // The same path with a query is numbered beside it.
    QCOMPARE(readTestFile(out.filePath(host + QStringLiteral("/one (2).txt"))), QByteArray("one x"));
    QVERIFY2(result.out.contains(QStringLiteral("FAILED %1 (the name template gives a \"..\" folder)")
                                     .arg(m_server.url("/dir/%2e%2e/%2e%2e/escaped"))),
             qPrintable(result.out));
    QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("escaped.txt"))));
    QVERIFY(readTestFile(out.filePath(QStringLiteral("done.tsv"))).contains("\t127.0.0.1/dir/deep/index.txt\n"));
    QVERIFY(readTestFile(report).contains("\"file\":\"127.0.0.1/one.txt\""));

    // A folder of the name that is a link elsewhere is never gone through.
    QTemporaryDir linked;
    QTemporaryDir elsewhere;
    QVERIFY(QFile::link(elsewhere.path(), linked.filePath(host)));
    result = m_batch.run({QStringLiteral("--folder"), linked.path(), QStringLiteral("-o"),
                          QStringLiteral("{host}/{path}"), QStringLiteral("-u"), m_server.url("/one")});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.out.contains(QStringLiteral("symbolic link")), qPrintable(result.out));
    QVERIFY(QDir(elsewhere.path()).isEmpty());

    result =
        m_batch.run({QStringLiteral("-o"), QStringLiteral("../{host}"), QStringLiteral("-u"), m_server.url("/one")});
    QVERIFY2(BatchProgram::isUsageError(result, QStringLiteral("--output must not hold")), qPrintable(result.err));
}

void TestBatchOutput::standardOutputKeepsListOrderAndEndsWhenClosed()
{
    LocalHttpServer::Reply slow;
    slow.body = "<html><body><p>slow</p></body></html>";
    slow.delayMs = 1500;
    m_server.route("/slow", slow);
    QTemporaryDir out;
    const QStringList rows{m_server.url("/slow"), m_server.url("/one"), m_server.url("/missing"), m_server.url("/two")};
    QStringList arguments{QStringLiteral("-O"), QStringLiteral("-"),        QStringLiteral("-j"),
                          QStringLiteral("4"),  QStringLiteral("--folder"), out.path()};
    for (const QString &row : rows)
        arguments << QStringLiteral("-u") << row;
    BatchProgram::Result result = m_batch.run(arguments);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out,
             QStringLiteral("==> %1 <==\nslow\n\n==> %2 <==\none\n\n==> %3 <==\ntwo ✓\n")
                 .arg(rows.at(0), rows.at(1), rows.at(3)));
    QVERIFY2(result.err.contains(QStringLiteral("] saved %1\n").arg(rows.at(1))), qPrintable(result.err));
    QVERIFY(result.err.endsWith(QStringLiteral("Saved 3, failed 1, skipped 0.\n")));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
    // Without files no name is numbered, nor said to be.
    m_server.page("/c?a", "<html><body>c</body></html>");
    m_server.page("/c*a", "<html><body>c</body></html>");
    result = m_batch.run({QStringLiteral("-O"), QStringLiteral("-"), QStringLiteral("-u"), m_server.url("/c?a"),
                          QStringLiteral("-u"), m_server.url("/c*a")});
    QVERIFY2(result.err.endsWith(QStringLiteral("Saved 2, failed 0, skipped 0.\n"))
                 && !result.err.contains(QStringLiteral("numbered")),
             qPrintable(result.err));

    result = m_batch.run({QStringLiteral("--stdout"), QStringLiteral("--format"), QStringLiteral("json"),
                          QStringLiteral("-u"), rows.at(0), QStringLiteral("-u"), rows.at(1)});
    const QStringList lines = result.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(QJsonDocument::fromJson(lines.at(1).toUtf8()).object().value(QStringLiteral("text")).toString(),
             QStringLiteral("one"));
    QVERIFY(BatchProgram::isUsageError(m_batch.run({QStringLiteral("-O"), QStringLiteral("-"),
                                                    QStringLiteral("--report"), QStringLiteral("-"), rows.at(0)}),
                                       QStringLiteral("--report -")));

    // A reader that goes away ends the run at once, the engine with it, as SIGPIPE would.
    QTemporaryDir temp(QStringLiteral("/tmp/tb-XXXXXX"));
    QByteArray list = m_server.url("/one").toUtf8() + '\n';
    for (int i = 0; i < 8; ++i)
        list += m_server.url(QStringLiteral("/never?%1").arg(i)).toUtf8() + '\n';
    QProcess pipeline;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_batch.configPath());
    pipeline.setProcessEnvironment(environment);
    pipeline.start(QStringLiteral("bash"),
                   {QStringLiteral("-c"),
                    QStringLiteral("\"$0\" -O - -j 4 --timeout 60 \"$1\" 2>/dev/null | head -1; "
                                   "echo \"${PIPESTATUS[0]}\""),
                    QStringLiteral(TEXTORIN_BATCH_PATH), m_batch.writeList(list)});
    QElapsedTimer timer;
    timer.start();
    while (pipeline.state() != QProcess::NotRunning && timer.elapsed() < 60000)
        QTest::qWait(20);
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(pipeline.readAllStandardOutput(), "==> " + m_server.url("/one").toUtf8() + " <==\n141\n");
    QTRY_COMPARE_WITH_TIMEOUT(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                              QStringList(), 5000);
}

void TestBatchOutput::formatsKeepTheArticleAndItsStructure()
{
    const QByteArray paragraph = "words that make this paragraph long enough to be part of a real article. ";
    m_server.page("/docs/story",
                  "<html lang=en><head><title>Story</title></head><body>"
                  "<nav><a href=/>Home menu</a></nav><aside>Sidebar box</aside><article><h1>Story</h1>"
                  "<p>First "
                      + paragraph.repeated(3)
                      + "<a href=rel.html>a relative link</a>.</p>"
                        "<p>Second "
                      + paragraph.repeated(3)
                      + "</p><h2>Part two</h2>"
                        "<ul><li>outer<ul><li>inner</li></ul></li></ul>"
                        "<table><tr><th>Key</th><th>Value</th></tr><tr><td>k</td><td>v</td></tr></table>"
                        "<pre><code>x = 1;\ny = 2;</code></pre><p>Third "
                      + paragraph.repeated(3)
                      + "</p></article>"
                        "<footer>Footer line</footer><p onclick=alert(1)><a href='javascript:alert(2)'>js</a></p>"
                        "<script>document.title = 'Story';</script></body></html>");
    LocalHttpServer::Reply moved;
    moved.status = 302;
    moved.location = "/docs/story";
    m_server.route("/moved-story", moved);
    m_server.page("/bare", "<html><body><p>just a line</p></body></html>");
    for (const char *manual :
         {"/usr/share/doc/ninja-build/manual.html", "/usr/share/doc/base-passwd/users-and-groups.html"})
        m_server.page("/manual/" + QFileInfo(QString::fromLatin1(manual)).fileName().toUtf8(),
                      readTestFile(QString::fromLatin1(manual)));
    const QString story = m_server.url("/docs/story");
    const QString name = QStringLiteral("127.0.0.1 %1_docs_story").arg(m_server.port());
    const auto run = [&](const QStringList &options, const QStringList &urls, const QString &report = {}) {
        auto folder = std::make_shared<QTemporaryDir>();
        QStringList arguments{QStringLiteral("--folder"), folder->path(), QStringLiteral("--settle"),
                              QStringLiteral("0")};
        arguments << options;
        if (!report.isEmpty())
            arguments << QStringLiteral("--report") << report;
        for (const QString &url : urls)
            arguments << QStringLiteral("-u") << url;
        const BatchProgram::Result result = m_batch.run(arguments);
        return std::make_pair(result, folder);
    };

    // The article alone: every paragraph, none of the page around it.
    auto [result, folder] = run({QStringLiteral("--main-content")}, {story, m_server.url("/bare")},
                                m_batch.filePath(QStringLiteral("formats.jsonl")));
    QCOMPARE(result.exitCode, 0);
    const QString article = QString::fromUtf8(readTestFile(folder->filePath(name + ".txt")));
    QVERIFY2(article.startsWith(QStringLiteral("Story\n\nFirst ")), qPrintable(article));
    for (const char *kept : {"\n\nSecond ", "\n\nPart two\n\n", "\n\nThird "})
        QVERIFY2(article.contains(QLatin1String(kept)), qPrintable(article));
    for (const char *left : {"Home menu", "Sidebar box", "Footer line"})
        QVERIFY2(!article.contains(QLatin1String(left)), qPrintable(article));
    // No article: the whole body, and the report says so.
    QCOMPARE(readTestFile(folder->filePath(QStringLiteral("127.0.0.1 %1_bare.txt").arg(m_server.port()))),
             QByteArray("just a line"));
    const QByteArray report = readTestFile(m_batch.filePath(QStringLiteral("formats.jsonl")));
    QCOMPARE(report.count("\"fallback\":true"), 1);
    QCOMPARE(report.count("\"fallback\":false"), 1);

    // Markdown keeps the structure, with absolute links.
    std::tie(result, folder) =
        run({QStringLiteral("--main-content"), QStringLiteral("--format"), QStringLiteral("markdown")}, {story});
    const QString markdown = QString::fromUtf8(readTestFile(folder->filePath(name + ".md")));
    for (const QString &kept :
         {QStringLiteral("# Story\n"), QStringLiteral("\n## Part two\n"), QStringLiteral("-   outer\n    -   inner"),
          QStringLiteral("| Key | Value |\n| --- | --- |\n| k | v |"), QStringLiteral("```\nx = 1;\ny = 2;\n```"),
          QStringLiteral("[a relative link](%1)").arg(m_server.url("/docs/rel.html"))})
        QVERIFY2(markdown.contains(kept), qPrintable(markdown));

    // HTML to keep: no scripts, handlers or javascript: links; links absolute.
    std::tie(result, folder) = run({QStringLiteral("--format"), QStringLiteral("html")}, {story});
    const QString html = QString::fromUtf8(readTestFile(folder->filePath(name + ".html")));
    QVERIFY2(html.startsWith(QStringLiteral("<!DOCTYPE html>")) && html.contains(QStringLiteral("Footer line")),
             qPrintable(html));
    for (const char *gone : {"<script", "onclick", "javascript:", "href=\"rel.html\""})
        QVERIFY2(!html.contains(QLatin1String(gone)), qPrintable(html));

    // A JSON record, after a redirect.
    std::tie(result, folder) =
        run({QStringLiteral("--format"), QStringLiteral("json")}, {m_server.url("/moved-story")});
    const QJsonObject record =
        QJsonDocument::fromJson(
            readTestFile(folder->filePath(QStringLiteral("127.0.0.1 %1_moved-story.json").arg(m_server.port()))))
            .object();
    QCOMPARE(record.keys(),
             (QStringList{"author", "canonical", "content_type", "description", "fetched", "final_url", "http_status",
                          "lang", "modified", "published", "site_name", "text", "text_sha256", "title", "url",
                          "word_count"}));
    QCOMPARE(record.value(QStringLiteral("url")).toString(), m_server.url("/moved-story"));
    QCOMPARE(record.value(QStringLiteral("final_url")).toString(), story);
    QCOMPARE(record.value(QStringLiteral("lang")).toString(), QStringLiteral("en"));
    QCOMPARE(record.value(QStringLiteral("http_status")).toInt(), 200);
    QVERIFY(QDateTime::fromString(record.value(QStringLiteral("fetched")).toString(), Qt::ISODateWithMs).isValid());
    QVERIFY(record.value(QStringLiteral("text")).toString().contains(QStringLiteral("Home menu")));

    // Text is today's file, byte for byte.
    std::tie(result, folder) = run({}, {story});
    const QByteArray plain = readTestFile(folder->filePath(name + ".txt"));
    std::tie(result, folder) = run({QStringLiteral("--format"), QStringLiteral("text")}, {story});
    QCOMPARE(readTestFile(folder->filePath(name + ".txt")), plain);

    // Manuals nobody here wrote keep their title and headings.
    std::tie(result, folder) =
        run({QStringLiteral("--main-content"), QStringLiteral("--format"), QStringLiteral("markdown")},
            {m_server.url("/manual/manual.html"), m_server.url("/manual/users-and-groups.html")});
    QCOMPARE(result.exitCode, 0);
    const QString ninja = QString::fromUtf8(
        readTestFile(folder->filePath(QStringLiteral("127.0.0.1 %1_manual_manual.html.md").arg(m_server.port()))));
    QVERIFY2(ninja.startsWith(QStringLiteral("# The Ninja build system")) && ninja.contains(QStringLiteral("\n## ")),
             qPrintable(ninja.left(500)));
    const QString groups = QString::fromUtf8(readTestFile(
        folder->filePath(QStringLiteral("127.0.0.1 %1_manual_users-and-groups.html.md").arg(m_server.port()))));
    QVERIFY2(groups.startsWith(QStringLiteral("# Users and Groups in the Debian System")),
             qPrintable(groups.left(500)));
}

void TestBatchOutput::documentationFaultsConvertAndKeepTheArticle()
{
    const QByteArray paragraph = "words that make this paragraph long enough to be part of a real manual page. ";
    const QByteArray menu = "<nav><a href=/a>Menu one</a> <a href=/b>Menu two</a> <a href=/c>Menu three</a></nav>";
    // Each page: what its markdown must hold and must not.
    const struct {
        const char *path;
        QByteArray body;
        QStringList kept;
        QStringList left;
    } pages[] = {
        {"/empty-table",
         "<p>Before the tables.</p><table>\n   \n</table><table><thead></thead></table><p>After them.</p>",
         {QStringLiteral("Before the tables.\n\nAfter them.")},
         {QStringLiteral("<table")}},
        {"/sphinx-code",
         "<div class=\"highlight-python notranslate\"><div class=highlight><pre><span></span>"
         "<span class=n>field_name</span> = <span class=mi>1</span>\n<span "
         "class=k>print</span>(field_name)\n</pre></div></div>",
         {QStringLiteral("```python\nfield_name = 1\nprint(field_name)\n```")},
         {QStringLiteral("field\\_name")}},
        {"/mdbook-code",
         "<pre><code class=\"language-rust\">fn main() {\n    println!(\"hi\");\n}</code></pre>"
         "<pre class=screen>$ make\n$ make install</pre><script>for (const pre of document.querySelectorAll('pre'))"
         " pre.insertAdjacentHTML('afterbegin', '<div class=buttons><button title=Copy>Copy</button></div>');</script>",
         {QStringLiteral("```rust\nfn main() {\n    println!(\"hi\");\n}\n```"),
          QStringLiteral("```\n$ make\n$ make install\n```")},
         {QStringLiteral("Copy")}},
        {"/permalinks",
         "<h2>Usage<a class=headerlink href=#usage title='Permalink to this heading'>\u00b6</a></h2><p>Use it.</p>"
         "<h3 id=x><a href=#x class=anchor>\u00a7</a>Method <code>run</code></h3><p>Runs.</p>",
         {QStringLiteral("## Usage\n\nUse it."), QStringLiteral("### Method run\n\nRuns.")},
         {QStringLiteral("\u00b6"), QStringLiteral("\u00a7")}},
        {"/headerless-table",
         "<table><tr><td>Name</td><td>Value</td></tr><tr><td>a|b</td><td>1</td></tr></table>"
         "<table class=memberdecls><tr class=heading><td colspan=2><h2>Public Types</h2></td></tr>"
         "<tr><td>typedef int</td><td><a href=#i>Index</a></td></tr></table>",
         {QStringLiteral("| Name | Value |\n| --- | --- |\n| a\\|b | 1 |"),
          QStringLiteral("## Public Types\n\n-   typedef int [Index]")},
         {QStringLiteral("<t")}},
        // Text flattens 2<sup>7</sup> into 27; Markdown keeps the marks as inline HTML.
        {"/exponents",
         "<p>2<sup class=n>7</sup> bytes of H<sub>2</sub>O, x<sup><a href=#n1>[1]</a></sup></p>",
         {QStringLiteral("2<sup>7</sup> bytes of H<sub>2</sub>O"), QStringLiteral("<sup>[\\[1\\]](")},
         {QStringLiteral("class=")}},
        // A script leaves text in a header row, which the converter cannot take.
        {"/broken-table",
         "<p>Kept paragraph.</p><table><tr><th>Key</th><th>Value</th></tr><tr><td>k</td><td>v</td></tr></table>"
         "<script>document.querySelector('th').after('stray')</script>",
         {QStringLiteral("Kept paragraph."), QStringLiteral("Key"), QStringLiteral("stray")},
         {}},
    };
    QStringList urls;
    for (const auto &page : pages) {
        m_server.page(page.path, "<html><head><title>Doc</title></head><body>" + page.body + "</body></html>");
        urls << QStringLiteral("-u") << m_server.url(QString::fromLatin1(page.path));
    }
    QTemporaryDir folder;
    const QString report = m_batch.filePath(QStringLiteral("documentation.jsonl"));
    BatchProgram::Result result = m_batch.run(
        QStringList{QStringLiteral("--folder"), folder.path(), QStringLiteral("--settle"), QStringLiteral("0"),
                    QStringLiteral("--format"), QStringLiteral("markdown"), QStringLiteral("--report"), report}
        + urls);
    QCOMPARE(result.exitCode, 0);
    const QList<QByteArray> lines = readTestFile(report).trimmed().split('\n');
    QCOMPARE(lines.size(), qsizetype(std::size(pages)));
    for (const QByteArray &line : lines) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        const bool broken = row.value(QStringLiteral("address")).toString().endsWith(QStringLiteral("/broken-table"));
        QVERIFY2(row.contains(QStringLiteral("format_fallback")), line.constData());
        QCOMPARE(row.value(QStringLiteral("format_fallback")).toString().contains(QStringLiteral("TypeError")), broken);
    }
    for (const auto &page : pages) {
        const QString markdown = QString::fromUtf8(readTestFile(folder.filePath(
            QStringLiteral("127.0.0.1 %1_%2.md").arg(m_server.port()).arg(QString::fromLatin1(page.path + 1)))));
        for (const QString &kept : page.kept)
            QVERIFY2(markdown.contains(kept),
                     qPrintable(QString::fromLatin1(page.path) + QStringLiteral(":\n") + markdown));
        for (const QString &left : page.left)
            QVERIFY2(!markdown.contains(left),
                     qPrintable(QString::fromLatin1(page.path) + QStringLiteral(":\n") + markdown));
    }

    // The main content: the <main> of a page Readability finds no article in, and
    // all of a manual's content beside its header and table of contents.
    m_server.page(
        "/main-only",
        "<html><body>" + menu
            + "<main><h1>tool</h1><h2>NAME</h2><p>tool - does one thing</p>"
              "<table><tr><th>Option</th><th>Meaning</th></tr><tr><td>-v</td><td>verbose</td></tr></table></main>"
              "<footer>Footer line</footer></body></html>");
    m_server.page(
        "/manual",
        "<html><head><title>tool(1)</title></head><body><div id=header><h1>tool(1)</h1>"
        "<div id=toc><a href=#name>NAME</a> <a href=#synopsis>SYNOPSIS</a> <a href=#options>OPTIONS</a></div></div>"
        "<div id=content><div class=sect1><h2 id=name>NAME</h2><div class=sectionbody><p>tool - does one "
        "thing</p></div></div>"
        "<div class=sect1><h2 id=synopsis>SYNOPSIS</h2><div class=sectionbody><p>"
            + paragraph.repeated(4)
            + "</p>"
              "<p>"
            + paragraph.repeated(4)
            + "</p></div></div><div class=sect1><h2 id=options>OPTIONS</h2>"
              "<div class=sectionbody><dl><dt>-v</dt><dd>verbose</dd></dl><table><tr><td>Exit</td><td>Meaning</td></tr>"
              "<tr><td>0</td><td>success</td></tr></table><p>"
            + paragraph.repeated(4)
            + "</p></div></div></div>"
              "<div id=footer>Last updated today</div></body></html>");
    result = m_batch.run({QStringLiteral("--folder"), folder.path(), QStringLiteral("--settle"), QStringLiteral("0"),
                          QStringLiteral("--main-content"), QStringLiteral("--report"), report, QStringLiteral("-u"),
                          m_server.url("/main-only"), QStringLiteral("-u"), m_server.url("/manual")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readTestFile(report).count("\"fallback\":false"), 2);
    const QString main = QString::fromUtf8(
        readTestFile(folder.filePath(QStringLiteral("127.0.0.1 %1_main-only.txt").arg(m_server.port()))));
    const QString manual = QString::fromUtf8(
        readTestFile(folder.filePath(QStringLiteral("127.0.0.1 %1_manual.txt").arg(m_server.port()))));
    for (const char *kept : {"NAME\n\ntool - does one thing", "Option\tMeaning\n\n-v\tverbose"})
        QVERIFY2(main.contains(QLatin1String(kept)), qPrintable(main));
    for (const char *kept : {"NAME\n\ntool - does one thing", "\n\nSYNOPSIS\n\n", "\n\nOPTIONS\n\n-v\n\nverbose",
                             "Exit\tMeaning\n\n0\tsuccess"})
        QVERIFY2(manual.contains(QLatin1String(kept)), qPrintable(manual));
    for (const QString &text : {main, manual}) {
        for (const char *left : {"Menu one", "Footer line", "Last updated", "NAME SYNOPSIS"})
            QVERIFY2(!text.contains(QLatin1String(left)), qPrintable(text));
    }
}

void TestBatchOutput::metadataIsWhatThePageStatesOrNull()
{
    // 50 pages stating their metadata in the forms pages use, five in turn, and 20 stating none.
    struct Form {
        const char *lang;
        const char *head;
        const char *body;
        QList<std::pair<const char *, const char *>> fields;
    };
    static const Form forms[] = {
        {"",
         R"(<meta name="Author" content=" Ann {n} "><meta property="article:published_time")"
         R"( content="2024-03-{day}T10:20:30+02:00"><meta property="article:modified_time")"
         R"( content="2024-03-{day}T11:00:00+0530"><meta name="description" content="First {n}">)"
         R"(<meta property="og:description" content="not this"><meta property="og:site_name" content="Site A">)"
         R"(<link rel="canonical" href="/canon/{n}?a=1">)",
         "",
         {{"author", "Ann {n}"},
          {"published", "2024-03-{day}T10:20:30+02:00"},
          {"modified", "2024-03-{day}T11:00:00+05:30"},
          {"description", "First {n}"},
          {"site_name", "Site A"},
          {"canonical", "{base}/canon/{n}?a=1"}}},
        {"",
         R"(<script type="application/ld+json">{"author": broken</script><script type="application/ld+json">)"
         R"({"@type":"NewsArticle","author":{"@type":"Person","name":"Bo {n}"},"datePublished":"2024-04-{day}",)"
         R"("dateModified":"2024-06-{day}T12:00:00-04:00"}</script>)"
         R"(<meta property="og:description" content="Second {n}"><link rel="canonical" href="https://e.com/{n}">)",
         "",
         {{"author", "Bo {n}"},
          {"published", "2024-04-{day}"},
          {"modified", "2024-06-{day}T12:00:00-04:00"},
          {"description", "Second {n}"},
          {"canonical", "https://e.com/{n}"}}},
        {"",
         R"(<script type="application/ld+json">{"@context":"https://schema.org","@graph":[{"@type":"WebSite",)"
         R"("name":"Web"},{"@type":"Article","author":[{"name":"Cy"},{"name":"Di {n}"}],)"
         R"("dateModified":"2024-07-{day}T09:30:00Z"}]}</script><meta property="og:site_name" content="S &amp; C">)",
         R"(<header><time datetime="2024-05-{day}T08:00:00Z">May</time></header>)",
         {{"author", "Cy, Di {n}"},
          {"published", "2024-05-{day}T08:00:00Z"},
          {"modified", "2024-07-{day}T09:30:00Z"},
          {"site_name", "S & C"}}},
        {"",
         R"(<script type="application/ld+json">[{"author":"Ed {n}","datePublished":)"
         R"("Tue, 05 Mar 2024 10:20:30 +0100"}]</script><script type="application/ld+json">[1,</script>)"
         "<meta name=\"description\" content=\"Fourth\n{n}\">",
         "",
         {{"author", "Ed {n}"}, {"published", "2024-03-05T10:20:30+01:00"}, {"description", "Fourth {n}"}}},
        // A date that reads as none is no date.
        {" lang=\"de-CH\"", R"(<meta property="article:published_time" content="last week">)", "", {{"lang", "de-CH"}}},
    };
    QStringList urls;
    QMap<QString, QJsonObject> expected;
    for (int i = 0; i < 70; ++i) {
        const QString path = QStringLiteral("/meta/%1").arg(i);
        const auto filled = [&](const char *text) {
            return QString::fromUtf8(text)
                .replace(QLatin1String("{n}"), QString::number(i))
                .replace(QLatin1String("{day}"), QString::number(10 + i % 18))
                .replace(QLatin1String("{base}"), m_server.url(QString()));
        };
        QJsonObject fields;
        for (const char *key :
             {"title", "lang", "author", "published", "modified", "description", "site_name", "canonical"})
            fields.insert(QLatin1String(key), QJsonValue());
        const QString words = QStringLiteral("<p>Words of page %1.</p>").arg(i);
        QString page = QStringLiteral("<html><head></head><body>%1</body></html>").arg(words);
        if (i < 50) {
            const Form &form = forms[i % 5];
            page = QStringLiteral("<html%1><head><title>Page %2</title>%3</head><body><article>%4%5</article></body>"
                                  "</html>")
                       .arg(QLatin1String(form.lang))
                       .arg(i)
                       .arg(filled(form.head), filled(form.body), words);
            fields.insert(QStringLiteral("title"), QStringLiteral("Page %1").arg(i));
            for (const auto &[key, value] : form.fields)
                fields.insert(QLatin1String(key), filled(value));
        }
        m_server.page(path, page.toUtf8());
        urls << m_server.url(path);
        expected.insert(m_server.url(path), fields);
    }

    QTemporaryDir out;
    const QString report = m_batch.filePath(QStringLiteral("metadata.jsonl"));
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--settle"), QStringLiteral("0"),
                     QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("-o"), QStringLiteral("{row}"),
                     QStringLiteral("--report"), report, m_batch.writeList(urls.join(QLatin1Char('\n')).toUtf8())});
    QCOMPARE(result.exitCode, 0);
    QMap<QString, QJsonObject> reported;
    for (const QByteArray &line : readTestFile(report).split('\n')) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        if (!row.isEmpty())
            reported.insert(row.value(QStringLiteral("address")).toString(), row);
    }
    QCOMPARE(reported.size(), 70);
    for (int i = 0; i < 70; ++i) {
        const QString url = urls.at(i);
        const QJsonObject record =
            QJsonDocument::fromJson(readTestFile(out.filePath(QStringLiteral("%1.json").arg(i + 1)))).object();
        const QString text = record.value(QStringLiteral("text")).toString();
        QVERIFY2(text.contains(QStringLiteral("Words of page %1.").arg(i)), qPrintable(text));
        QJsonObject fields = expected.value(url);
        fields.insert(QStringLiteral("word_count"),
                      text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
        fields.insert(QStringLiteral("text_sha256"),
                      QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex()));
        for (auto field = fields.begin(); field != fields.end(); ++field) {
            const QString where = QStringLiteral("%1 %2").arg(url, field.key());
            QVERIFY2(record.value(field.key()) == field.value(),
                     qPrintable(where + QLatin1Char(' ') + QJsonDocument(record).toJson(QJsonDocument::Compact)));
            QVERIFY2(reported.value(url).value(field.key()) == field.value(), qPrintable(where));
        }
    }

    // With the main content, Readability's byline when the page states no author; a YAML header with
    // --front-matter, of the fields stated only.
    const QByteArray paragraph =
        "<p>" + QByteArray("A sentence that makes the article long enough to read. ").repeated(6) + "</p>";
    m_server.page("/meta/byline",
                  "<html><head><title>Bylined</title></head><body><nav><a href=\"/\">Home</a></nav>"
                  "<article><h1>Bylined</h1><p class=\"byline\">Fay Writer</p>"
                      + paragraph.repeated(4) + "</article></body></html>");
    QTemporaryDir markdown;
    QCOMPARE(m_batch
                 .run({QStringLiteral("--folder"), markdown.path(), QStringLiteral("--settle"), QStringLiteral("0"),
                       QStringLiteral("--main-content"), QStringLiteral("--format"), QStringLiteral("md"),
                       QStringLiteral("--front-matter"), QStringLiteral("-o"), QStringLiteral("{row}"),
                       QStringLiteral("-u"), m_server.url("/meta/byline"), QStringLiteral("-u"), urls.at(69)})
                 .exitCode,
             0);
    const QString bylined = QString::fromUtf8(readTestFile(markdown.filePath(QStringLiteral("1.md"))));
    QVERIFY2(bylined.startsWith(QStringLiteral("---\ntitle: \"Bylined\"\nauthor: \"Fay Writer\"\nword_count: ")),
             qPrintable(bylined));
    QVERIFY2(bylined.contains(QStringLiteral("\"\n---\n\n# Bylined\n")), qPrintable(bylined));
    const QString bare = QString::fromUtf8(readTestFile(markdown.filePath(QStringLiteral("2.md"))));
    QVERIFY2(
        bare.startsWith(QStringLiteral("---\nword_count: 4\ntext_sha256: \"%1\"\n---\n\nWords of page 69.")
                            .arg(QString::fromLatin1(
                                QCryptographicHash::hash("Words of page 69.", QCryptographicHash::Sha256).toHex()))),
        qPrintable(bare));
}

void TestBatchOutput::jsonLinesHoldEveryRecordInListOrder()
{
    LocalHttpServer::Reply slow;
    slow.delayMs = 1500;
    slow.body = "<html><head><meta name=\"author\" content=\"Slow\"></head><body>slow</body></html>";
    m_server.route("/lines/slow", slow);
    QTemporaryDir out;
    const QString report = m_batch.filePath(QStringLiteral("lines.jsonl"));
    const auto urlsOf = [](const QByteArray &lines) {
        QStringList urls;
        for (const QByteArray &line : lines.split('\n')) {
            if (!line.isEmpty())
                urls << QJsonDocument::fromJson(line).object().value(QStringLiteral("url")).toString();
        }
        return urls;
    };
    // The slow first row holds the others back; the failed row has no record; the file is added to.
    BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--settle"), QStringLiteral("0"),
                     QStringLiteral("--format"), QStringLiteral("jsonl"), QStringLiteral("--report"), report,
                     m_batch.writeList(QStringList{m_server.url("/lines/slow"), m_server.url("/one"),
                                                   m_server.url("/missing"), m_server.url("/two")}
                                           .join(QLatin1Char('\n'))
                                           .toUtf8())});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{QStringLiteral("records.jsonl")});
    const QString records = out.filePath(QStringLiteral("records.jsonl"));
    QVERIFY2(result.out.contains(QStringLiteral("saved %1 -> %2").arg(m_server.url("/one"), records)),
             qPrintable(result.out));
    const QByteArray lines = readTestFile(records);
    QCOMPARE(urlsOf(lines), (QStringList{m_server.url("/lines/slow"), m_server.url("/one"), m_server.url("/two")}));
    const QJsonObject first = QJsonDocument::fromJson(lines.left(lines.indexOf('\n'))).object();
    QCOMPARE(first.value(QStringLiteral("author")).toString(), QStringLiteral("Slow"));
    QCOMPARE(first.value(QStringLiteral("text")).toString(), QStringLiteral("slow"));
    for (const QByteArray &line : readTestFile(report).split('\n')) {
        const QJsonObject row = QJsonDocument::fromJson(line).object();
        if (row.value(QStringLiteral("row")).toInt() == 1) {
            QVERIFY(row.value(QStringLiteral("file")).isNull());
            QCOMPARE(row.value(QStringLiteral("bytes")).toInt(), lines.indexOf('\n') + 1);
        }
    }
    result = m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--format"), QStringLiteral("jsonl"),
                          m_server.url("/two")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(urlsOf(readTestFile(records)).size(), 4);

    // On standard output, one record a line as with json.
    result = m_batch.run({QStringLiteral("-O"), QStringLiteral("-"), QStringLiteral("--format"),
                          QStringLiteral("jsonl"), m_server.url("/one"), m_server.url("/two")});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(urlsOf(result.out.toUtf8()), (QStringList{m_server.url("/one"), m_server.url("/two")}));
}

QTEST_GUILESS_MAIN(TestBatchOutput)
#include "tst_BatchOutput.moc"
