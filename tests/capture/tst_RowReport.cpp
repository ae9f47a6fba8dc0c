#include "capture/RowReport.h"
#include "capture/RowResult.h"
#include "fakes/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(RowResult)

// The records of a run's report, as the batch writes them and the window saves them.
class TestRowReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void records_data();
    void records();
};

namespace {

RowResult result(qint64 row, RowResult::Outcome outcome, const QString &path = {}, const QString &reason = {})
{
    RowResult result;
    result.row = row;
    result.url = QStringLiteral("http://me:pw@a.example/x");
    result.outcome = outcome;
    result.outputPath = path;
    result.reason = reason;
    result.ms = 7;
    result.tries = 1;
    return result;
}

} // namespace

void TestRowReport::records_data()
{
    QTest::addColumn<RowResult>("result");
    QTest::addColumn<bool>("crawl");
    QTest::addColumn<QByteArray>("record");

    const QString file = QStringLiteral("@/sub/a.example_x.txt");
    QTest::newRow("saved, named within the folder")
        << result(1, RowResult::Outcome::Saved, file) << false
        << QByteArray(R"({"address":"http://a.example/x","bytes":5,"content_type":null,"file":"sub/a.example_x.txt",)"
                      R"("http_status":null,"ms":7,"outcome":"saved","reason":null,"row":1,"tries":1})");
    QTest::newRow("failed, reason on one line")
        << result(2, RowResult::Outcome::Failed, {}, QStringLiteral("HTTP error\n404")) << false
        << QByteArray(R"({"address":"http://a.example/x","bytes":null,"content_type":null,"file":null,)"
                      R"("http_status":null,"ms":7,"outcome":"failed","reason":"HTTP error 404","row":2,"tries":1})");
    QTest::newRow("stopped")
        << result(3, RowResult::Outcome::Stopped) << false
        << QByteArray(R"({"address":"http://a.example/x","bytes":null,"content_type":null,"file":null,)"
                      R"("http_status":null,"ms":7,"outcome":"stopped","reason":null,"row":3,"tries":1})");
    QTest::newRow("crawl fields")
        << result(4, RowResult::Outcome::Skipped, {}, QStringLiteral("blank row")) << true
        << QByteArray(R"({"address":"http://a.example/x","bytes":null,"content_type":null,"depth":null,"file":null,)"
                      R"("found_on":null,"http_status":null,"ms":7,"outcome":"skipped","reason":"blank row","row":4,)"
                      R"("tries":1})");
}

void TestRowReport::records()
{
    QFETCH(RowResult, result);
    QFETCH(bool, crawl);
    QFETCH(QByteArray, record);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("sub")));
    if (!result.outputPath.isEmpty()) {
        result.outputPath.replace(QLatin1Char('@'), folder.path());
        QVERIFY(writeTestFile(result.outputPath, "hello"));
    }
    QFile out(folder.filePath(QStringLiteral("report.jsonl")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    RowReport::Fields fields;
    fields.folder = folder.path();
    fields.crawl = crawl;
    RowReport report(out, fields);
    QVERIFY(report.add(result));
    out.close();
    QCOMPARE(readTestFile(out.fileName()), record + '\n');
}

QTEST_GUILESS_MAIN(TestRowReport)
#include "tst_RowReport.moc"
