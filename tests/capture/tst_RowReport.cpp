#include "capture/MetadataFields.h"
#include "capture/RowReport.h"
#include "capture/RowResult.h"
#include "fakes/TestFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
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
    QTest::addColumn<QByteArray>("added"); // final_url, note, title

    const QByteArray none = R"({"final_url":null,"note":null,"title":null})";

    const QString file = QStringLiteral("@/sub/a.example_x.txt");
    QTest::newRow("saved, named within the folder")
        << result(1, RowResult::Outcome::Saved, file) << false
        << QByteArray(R"({"address":"http://a.example/x","bytes":5,"content_type":null,"file":"sub/a.example_x.txt",)"
                      R"("http_status":null,"ms":7,"outcome":"saved","reason":null,"row":1,"tries":1})")
        << none;
    QTest::newRow("failed, reason on one line")
        << result(2, RowResult::Outcome::Failed, {}, QStringLiteral("HTTP error\n404")) << false
        << QByteArray(R"({"address":"http://a.example/x","bytes":null,"content_type":null,"file":null,)"
                      R"("http_status":null,"ms":7,"outcome":"failed","reason":"HTTP error 404","row":2,"tries":1})")
        << none;
    QTest::newRow("stopped") << result(3, RowResult::Outcome::Stopped) << false
                             << QByteArray(
                                    R"({"address":"http://a.example/x","bytes":null,"content_type":null,"file":null,)"
                                    R"("http_status":null,"ms":7,"outcome":"stopped","reason":null,"row":3,"tries":1})")
                             << none;
    QTest::newRow("crawl fields")
        << result(4, RowResult::Outcome::Skipped, {}, QStringLiteral("blank row")) << true
        << QByteArray(R"({"address":"http://a.example/x","bytes":null,"content_type":null,"depth":null,"file":null,)"
                      R"("found_on":null,"http_status":null,"ms":7,"outcome":"skipped","reason":"blank row","row":4,)"
                      R"("tries":1})")
        << none;
    RowResult page = result(5, RowResult::Outcome::Saved, file);
    page.page.finalUrl = QStringLiteral("http://me:pw@a.example/y");
    page.page.title = QStringLiteral("Title");
    page.note = QStringLiteral("load incomplete");
    page.page.lang = QStringLiteral("en");
    page.page.metadata.author = QStringLiteral("Ann");
    page.page.content = QStringLiteral("three short words");
    QTest::newRow("saved, with where the page ended")
        << page << false
        << QByteArray(R"({"address":"http://a.example/x","bytes":5,"content_type":null,"file":"sub/a.example_x.txt",)"
                      R"("http_status":null,"ms":7,"outcome":"saved","reason":null,"row":5,"tries":1})")
        << QByteArray(R"({"final_url":"http://a.example/y","note":"load incomplete","title":"Title"})");
}

void TestRowReport::records()
{
    QFETCH(RowResult, result);
    QFETCH(bool, crawl);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, added);
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
    const QByteArray line = readTestFile(out.fileName());
    QVERIFY(line.endsWith('\n') && line.count('\n') == 1);
    QJsonObject written = QJsonDocument::fromJson(line).object();
    // The row's start, on the wall clock with its offset, as long ago as its time.
    const QString started = written.take(QStringLiteral("started")).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT[0-9:.]+(Z|[+-]\\d\\d:\\d\\d)$"))
                 .match(started)
                 .hasMatch(),
             qPrintable(started));
    const qint64 ago = QDateTime::fromString(started, Qt::ISODateWithMs).msecsTo(QDateTime::currentDateTime());
    QVERIFY2(ago >= 7 && ago < 60000, qPrintable(QString::number(ago)));
    QCOMPARE(written.take(QStringLiteral("folder")).toString(), QDir(folder.path()).absolutePath());
    QJsonObject addedFields;
    for (const char *key : {"final_url", "note", "title"})
        addedFields.insert(QLatin1String(key), written.take(QLatin1String(key)));
    QCOMPARE(QJsonDocument(addedFields).toJson(QJsonDocument::Compact), added);
    if (result.row == 5) {
        QCOMPARE(written.value(QStringLiteral("author")).toString(), QStringLiteral("Ann"));
        QCOMPARE(written.value(QStringLiteral("lang")).toString(), QStringLiteral("en"));
        QCOMPARE(written.value(QStringLiteral("word_count")).toInteger(), 3);
    }
    // The page's metadata after them: of a saved row's page, else all null.
    const QJsonObject metadata = result.saved() ? MetadataFields::of(result.page) : MetadataFields::none();
    for (auto field = metadata.begin(); field != metadata.end(); ++field) {
        if (field.key() != QLatin1String("title"))
            QCOMPARE(written.take(field.key()), field.value());
    }
    QCOMPARE(QJsonDocument(written).toJson(QJsonDocument::Compact), record);
}

QTEST_GUILESS_MAIN(TestRowReport)
#include "tst_RowReport.moc"
