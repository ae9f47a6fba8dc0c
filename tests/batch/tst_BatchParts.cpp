#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

// textorin-batch's --select and --remove on generated layouts, and the same
// per site through --rules: the saved text is the hand-written one, in every format.
class TestBatchParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void selectorsKeepTheChosenText();
    void formatsKeepOnlyTheChosenParts();
    void badSelectorsAreUsageErrors_data();
    void badSelectorsAreUsageErrors();
    void rulesGiveEachSiteItsOwnCut();
    void badRulesAreUsageErrors();

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

void TestBatchParts::rulesGiveEachSiteItsOwnCut()
{
    // What the page's browser says and holds, in its text.
    const QByteArray who =
        "<p id=who></p><script>who.textContent = navigator.userAgent + '|' + document.cookie</script>";
    QStringList rows;
    const auto add = [&](const QString &kind, int count, const QByteArray &html) {
        for (int i = 1; i <= count; ++i) {
            m_server.page(QStringLiteral("/%1/%2").arg(kind).arg(i), html);
            rows << m_server.url(QStringLiteral("/%1/%2").arg(kind).arg(i));
        }
    };
    add(QStringLiteral("nav"), 100,
        "<html><body><nav>Home <a href=/a>About</a></nav><main><h1>Title</h1><p>Body one.</p><nav>Inner</nav>"
        "</main><footer>Foot</footer></body></html>");
    add(QStringLiteral("banner"), 100,
        "<html><body><div id=cookies>We use cookies <button>OK</button></div><main><p>Story told.</p>" + who
            + "</main></body></html>");
    add(QStringLiteral("comments"), 90,
        "<html><body><main><article><p>Post text.</p><p class=kept>Nested kept</p></article>"
        "<section class=comments><h2>Comments</h2><p>Nice!</p></section></main>"
        "<aside><span class=kept>Aside kept</span></aside></body></html>");
    add(QStringLiteral("plain"), 10, "<html><body><div id=cookies>Banner</div><p>Plain.</p>" + who + "</body></html>");
    // Rows of every kind in turn, so that a page goes from one rule to another.
    std::sort(rows.begin(), rows.end(), [](const QString &a, const QString &b) {
        return a.section(QLatin1Char('/'), -1).toInt() < b.section(QLatin1Char('/'), -1).toInt();
    });

    QTemporaryDir dir;
    writeTestFile(dir.filePath(QStringLiteral("jar.txt")), "127.0.0.1\tFALSE\t/\tFALSE\t0\tseen\tyes\n");
    const QString navPattern = m_server.url(QStringLiteral("/nav/*"));
    const QString rules = dir.filePath(QStringLiteral("site.rules"));
    writeTestFile(rules,
                  ("# each site its cut\n[" + navPattern
                   + "]\nremove = nav\nformat = markdown\n"
                     "header = X-Rule: nav\n\n[re:/banner/\\d+$]\nremove = #cookies\n"
                     "user-agent = RuleBot/1.0\ncookies = jar.txt\n\n[*/comments/*]\n"
                     "select = article, .kept\nremove = .comments\n")
                      .toUtf8());

    QTemporaryDir out;
    // 300 rows: a loaded machine needs more than the usual minute.
    m_batch.setRunLimit(300'000);
    const BatchProgram::Result result =
        m_batch.run({QStringLiteral("--folder"), out.path(), QStringLiteral("--report"), QStringLiteral("-"),
                     QStringLiteral("-q"), QStringLiteral("--settle"), QStringLiteral("0"), QStringLiteral("--rules"),
                     rules, m_batch.writeList(rows.join(QLatin1Char('\n')).toUtf8())});
    m_batch.setRunLimit(60'000);
    QCOMPARE(result.exitCode, 0);
    const QHash<QString, QString> patterns{{QStringLiteral("nav"), navPattern},
                                           {QStringLiteral("banner"), QStringLiteral("re:/banner/\\d+$")},
                                           {QStringLiteral("comments"), QStringLiteral("*/comments/*")}};
    const QHash<QString, QString> expected{
        {QStringLiteral("nav"), QStringLiteral("# Title\n\nBody one.\n\nFoot")},
        {QStringLiteral("banner"), QStringLiteral("Story told.\n\nRuleBot/1.0|seen=yes")},
        {QStringLiteral("comments"), QStringLiteral("Post text.\n\nNested kept\n\nAside kept")}};
    int records = 0;
    for (const QString &line : result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject record = QJsonDocument::fromJson(line.toUtf8()).object();
        const QString kind = QUrl(record.value("address").toString()).path().section(QLatin1Char('/'), 1, 1);
        const QString file = record.value("file").toString();
        const QString saved = QString::fromUtf8(readTestFile(out.filePath(file)));
        ++records;
        QCOMPARE(record.value("outcome").toString(), QStringLiteral("saved"));
        QCOMPARE(record.value("rule"), patterns.contains(kind) ? QJsonValue(patterns.value(kind)) : QJsonValue());
        QCOMPARE(file.endsWith(QLatin1String(".md")), kind == QLatin1String("nav"));
        if (expected.contains(kind)) {
            QCOMPARE(saved, expected.value(kind));
        } else {
            // A row under no rule has none of another row's options.
            QVERIFY2(saved.startsWith(QLatin1String("Banner\n\nPlain.\n\n")) && !saved.contains("RuleBot")
                         && !saved.contains("seen"),
                     qPrintable(saved));
        }
    }
    QCOMPARE(records, 300);
    QCOMPARE(m_server.lastHeaders(QStringLiteral("/nav/7")).value("x-rule"), QByteArray("nav"));
    QVERIFY(!m_server.lastHeaders(QStringLiteral("/plain/7")).contains("x-rule"));
}

void TestBatchParts::badRulesAreUsageErrors()
{
    QTemporaryDir dir;
    const QString rules = dir.filePath(QStringLiteral("bad.rules"));
    const QString plain = m_server.url(QStringLiteral("/plain"));
    const QList<std::pair<QByteArray, QString>> cases{
        {"[*]\nselect = main\ncolour = red\n", QStringLiteral(":3: unknown key \"colour\"")},
        {"[re:(]\n", QStringLiteral(":1: a bad pattern")},
        {"# top\n[*]\nwait-for = a[href\n", QStringLiteral(":3: wait-for:")},
        {"[*]\ncookies = missing.txt\n", QStringLiteral(":2: cookies:")},
    };
    for (const auto &[text, problem] : cases) {
        writeTestFile(rules, text);
        const BatchProgram::Result result =
            m_batch.run({QStringLiteral("--rules"), rules, QStringLiteral("-u"), plain});
        QVERIFY2(BatchProgram::isUsageError(result, rules + problem), qPrintable(result.err));
    }
    writeTestFile(rules, "[*]\nformat = html\n");
    const BatchProgram::Result lines = m_batch.run({QStringLiteral("--rules"), rules, QStringLiteral("--format"),
                                                    QStringLiteral("jsonl"), QStringLiteral("-u"), plain});
    QVERIFY2(BatchProgram::isUsageError(lines, QStringLiteral("--format jsonl")), qPrintable(lines.err));
}

QTEST_GUILESS_MAIN(TestBatchParts)
#include "tst_BatchParts.moc"
