#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

// textorin-batch's --select and --remove on generated layouts: the saved text
// is the hand-written one, in every format.
class TestBatchParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void selectorsKeepTheChosenText();
    void formatsKeepOnlyTheChosenParts();
    void badSelectorsAreUsageErrors_data();
    void badSelectorsAreUsageErrors();

private:
    // The report's records by their path, each with its file's text as "saved".
    QMap<QString, QJsonObject> runRows(const QStringList &options, const QStringList &paths);

    BatchProgram m_batch;
    LocalHttpServer &m_server = m_batch.server();
};

void TestBatchParts::initTestCase()
{
    QVERIFY(m_batch.start());
    m_server.page("/nav",
                  "<html><body><nav>Home <a href=/a>About</a></nav><main><h1>Title</h1>"
                  "<p>Body one.</p><nav>Inner menu</nav></main><footer>Foot</footer></body></html>");
    m_server.page("/banner",
                  "<html><body><div id=cookies>We use cookies <button>OK</button></div>"
                  "<main><p>Story <b>bold</b> told.</p></main></body></html>");
    m_server.page("/comments",
                  "<html><body><main><article><p>Post text.</p><p class=kept>Nested kept</p></article>"
                  "<section class=comments><h2>Comments</h2><p>Nice!</p></section></main>"
                  "<aside><span class=kept>Aside kept</span><span class=kept hidden>Hidden kept</span></aside>"
                  "</body></html>");
    m_server.page("/plain", "<html><body><p>Nothing <i>to</i> choose.</p><nav>Menu</nav></body></html>");
}

QMap<QString, QJsonObject> TestBatchParts::runRows(const QStringList &options, const QStringList &paths)
{
    QTemporaryDir out;
    QStringList list;
    for (const QString &path : paths)
        list << m_server.url(path);
    const BatchProgram::Result result =
        m_batch.run(QStringList{QStringLiteral("--folder"), out.path(), QStringLiteral("--report"), QStringLiteral("-"),
                                QStringLiteral("--settle"), QStringLiteral("0")}
                    + options + QStringList{m_batch.writeList(list.join(QLatin1Char('\n')).toUtf8())});
    QMap<QString, QJsonObject> rows;
    for (const QString &line : result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QJsonObject record = QJsonDocument::fromJson(line.toUtf8()).object();
        const QString file = record.value(QStringLiteral("file")).toString();
        if (!file.isEmpty())
            record.insert(QStringLiteral("saved"), QString::fromUtf8(readTestFile(out.filePath(file))));
        rows.insert(QUrl(record.value(QStringLiteral("address")).toString()).path(), record);
    }
    if (rows.size() != paths.size())
        qWarning().noquote() << result.out << result.err;
    return rows;
}

void TestBatchParts::selectorsKeepTheChosenText()
{
    const QMap<QString, QJsonObject> rows = runRows(
        {QStringLiteral("--select"), QStringLiteral("main, .kept"), QStringLiteral("--remove"),
         QStringLiteral("nav, #cookies, .comments")},
        {QStringLiteral("/nav"), QStringLiteral("/banner"), QStringLiteral("/comments"), QStringLiteral("/plain")});
    QCOMPARE(rows.size(), 4);
    const auto saved = [&](const char *path) { return rows.value(QLatin1String(path)).value("saved").toString(); };
    // Removed parts leave the rendered text as the browser lays it out.
    QCOMPARE(saved("/nav"), QStringLiteral("Title\n\nBody one."));
    QCOMPARE(saved("/banner"), QStringLiteral("Story bold told."));
    // Document order, a nested match once, hidden ones out, a blank line between.
    QCOMPARE(saved("/comments"), QStringLiteral("Post text.\n\nNested kept\n\nAside kept"));
    // Nothing matched: the whole page, less what is removed, and the report says so.
    QCOMPARE(saved("/plain"), QStringLiteral("Nothing to choose."));
    QCOMPARE(rows.value("/plain").value("select").toString(), QStringLiteral("no match"));
    QVERIFY(rows.value("/nav").contains("select"));
    QVERIFY(rows.value("/nav").value("select").isNull());
}

void TestBatchParts::formatsKeepOnlyTheChosenParts()
{
    const QStringList paths{QStringLiteral("/comments"), QStringLiteral("/plain")};
    const QStringList chosen{QStringLiteral("--select"), QStringLiteral("article"), QStringLiteral("--remove"),
                             QStringLiteral(".kept"), QStringLiteral("--require-selector")};
    const QMap<QString, QJsonObject> markdown =
        runRows(chosen + QStringList{QStringLiteral("--format"), QStringLiteral("markdown")}, paths);
    QCOMPARE(markdown.value("/comments").value("saved").toString(), QStringLiteral("Post text."));
    QCOMPARE(markdown.value("/plain").value("outcome").toString(), QStringLiteral("failed"));
    QCOMPARE(markdown.value("/plain").value("reason").toString(), QStringLiteral("selector matched nothing"));

    const QMap<QString, QJsonObject> html = runRows({QStringLiteral("--remove"), QStringLiteral("nav, .comments"),
                                                     QStringLiteral("--format"), QStringLiteral("html")},
                                                    paths);
    const QString page = html.value("/comments").value("saved").toString();
    QVERIFY2(page.contains(QStringLiteral("<p>Post text.</p>")) && !page.contains(QStringLiteral("Nice!"))
                 && !page.contains(QStringLiteral("data-textorin")),
             qPrintable(page));
    QVERIFY(!html.value("/plain").value("saved").toString().contains(QStringLiteral("Menu")));
    QVERIFY(!html.value("/plain").contains("select"));
}

void TestBatchParts::badSelectorsAreUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    QTest::newRow("select") << QStringList{"--select", "main >"} << QStringLiteral("--select");
    QTest::newRow("remove") << QStringList{"--remove", "a[href"} << QStringLiteral("--remove");
    QTest::newRow("require alone") << QStringList{"--require-selector"}
                                   << QStringLiteral("--require-selector needs --wait-for SELECTOR or --select CSS");
}

void TestBatchParts::badSelectorsAreUsageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    const BatchProgram::Result result =
        m_batch.run(arguments + QStringList{QStringLiteral("-u"), m_server.url("/plain")});
    QVERIFY2(BatchProgram::isUsageError(result, problem), qPrintable(result.err));
}

QTEST_GUILESS_MAIN(TestBatchParts)
#include "tst_BatchParts.moc"
