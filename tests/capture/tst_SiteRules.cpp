#include "capture/SiteRules.h"

#include <QTemporaryDir>
#include <QtTest>

// Rules files: their problems named by line, which rule a row takes, and what it changes.
class TestSiteRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void problemsNameTheLine_data();
    void problemsNameTheLine();
    void firstMatchingPatternWins();
    void ruleValuesReplaceTheRunsOnly();

private:
    QString write(const QByteArray &text);
    QTemporaryDir m_dir;
    int m_files = 0;
};

QString TestSiteRules::write(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("rules%1.ini").arg(++m_files));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}

void TestSiteRules::problemsNameTheLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem");
    QTest::newRow("unknown key") << QByteArray("[*]\nselect = main\nselct = main\n")
                                 << QStringLiteral(":3: unknown key \"selct\"");
    QTest::newRow("bad selector") << QByteArray("# c\n\n[*]\nremove = a[href\n") << QStringLiteral(":4: remove: wants");
    QTest::newRow("bad regex") << QByteArray("[re:(]\n") << QStringLiteral(":1: a bad pattern \"[re:(]\"");
    QTest::newRow("empty pattern") << QByteArray("[ ]\n") << QStringLiteral(":1: a bad pattern");
    QTest::newRow("unclosed") << QByteArray("[https://a/*\n") << QStringLiteral(":1: a bad pattern");
    QTest::newRow("before a section") << QByteArray("tries = 2\n[*]\n")
                                      << QStringLiteral(":1: a setting before the first [PATTERN]");
    QTest::newRow("no equals") << QByteArray("[*]\nscroll\n") << QStringLiteral(":2: wants [PATTERN] or KEY = VALUE");
    QTest::newRow("bad switch") << QByteArray("[*]\nscroll = maybe\n")
                                << QStringLiteral(":2: scroll: wants true or false");
    QTest::newRow("bad tries") << QByteArray("[*]\ntries = 0\n") << QStringLiteral(":2: tries: wants");
    QTest::newRow("bad format") << QByteArray("[*]\nformat = pdf\n") << QStringLiteral(":2: format: wants");
    QTest::newRow("bad header") << QByteArray("[*]\nheader = Cookie: a=b\n") << QStringLiteral(":2: header: ");
}

void TestSiteRules::problemsNameTheLine()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, problem);
    const QString path = write(text);
    SiteRules rules;
    QString found;
    QVERIFY(!rules.read(path, &found));
    QVERIFY2(found.startsWith(path + problem), qPrintable(found));
    QVERIFY(rules.isEmpty());
}

void TestSiteRules::firstMatchingPatternWins()
{
    SiteRules rules;
    QString problem;
    QVERIFY2(rules.read(write("[https://docs.example.org/api/*]\ntries = 3\n"
                              "[https://docs.example.org/*]\nselect = main\n"
                              "[re:\\.pdf$]\nformat = markdown\n"
                              "[http?://*.example.com/*]\nscroll = yes\n"),
                        &problem),
             qPrintable(problem));
    const QList<std::pair<QString, int>> cases{
        {QStringLiteral("https://docs.example.org/api/x"), 0},
        {QStringLiteral("https://docs.example.org/guide/a.pdf"), 1}, // the first match, not the best
        // As the page loads it: normalised, typed as into an address bar.
        {QStringLiteral("HTTPS://Docs.Example.org"), 1},
        {QStringLiteral("docs.example.org/"), -1}, // http://
        {QStringLiteral("https://other.org/a.pdf"), 2},
        {QStringLiteral("https://other.org/a.pdf?x"), -1},
        {QStringLiteral("https://www.example.com/"), 3},
        {QStringLiteral("http://www.example.com/"), -1}, // ? is one character
        {QStringLiteral("https://example.com/"), -1}, // a glob matches the whole address
    };
    for (const auto &[row, rule] : cases)
        QVERIFY2(rules.ruleFor(row) == rule, qPrintable(row));
    QCOMPARE(rules.patternOf(2), QStringLiteral("re:\\.pdf$"));
}

void TestSiteRules::ruleValuesReplaceTheRunsOnly()
{
    SiteRules rules;
    QString problem;
    QVERIFY2(rules.read(write("[*]\nheader = A: 1\nheader = B: 2\nformat = md\nmain-content = true\n"
                              "wait = 2.5\ntimeout = 5\nremove = nav\n"),
                        &problem),
             qPrintable(problem));
    RowSettings base;
    base.engine.headers = {{QStringLiteral("C"), QStringLiteral("3")}};
    base.engine.selectParts = QStringLiteral("article");
    base.tries = 4;
    const RowSettings row = rules.applied(0, base);
    QCOMPARE(row.engine.headers, (QList<std::pair<QString, QString>>{{"A", "1"}, {"B", "2"}}));
    QCOMPARE(row.format, QStringLiteral("markdown"));
    QCOMPARE(row.engine.form, EngineOptions::PageForm::Markdown);
    QVERIFY(row.engine.mainContent);
    QCOMPARE(row.hostWaitMs, 2500);
    QCOMPARE(row.engine.pageLimitMs, 5000);
    QCOMPARE(row.engine.removeParts, QStringLiteral("nav"));
    // What the rule does not set stays the run's.
    QCOMPARE(row.engine.selectParts, QStringLiteral("article"));
    QCOMPARE(row.tries, 4);
}

QTEST_GUILESS_MAIN(TestSiteRules)
#include "tst_SiteRules.moc"
