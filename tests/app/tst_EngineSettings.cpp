#include "app/EngineSettings.h"
#include "support/SettingsStore.h"

#include <QTemporaryDir>
#include <QtTest>

class TestEngineSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unusableValuesAreNamedAndLeftAtTheirDefaults();
    void eachKeyIsReadAsTheBatchReadsIt_data();
    void eachKeyIsReadAsTheBatchReadsIt();
};

namespace {

// The field a key sets, as text.
QString fieldOf(const EngineSettings::Read &read, const QString &key)
{
    const EngineOptions &options = read.options;
    const auto number = [](qint64 value) { return QString::number(value); };
    const QHash<QString, QString> fields{
        {SettingsKeys::Format, read.format + QLatin1Char('/') + number(int(options.form))},
        {SettingsKeys::MainContent, number(options.mainContent)},
        {SettingsKeys::PagesAtOnce, number(read.pagesAtOnce)},
        {SettingsKeys::TimeLimit, number(options.pageLimitMs)},
        {SettingsKeys::Settle, number(options.settleMs)},
        {SettingsKeys::Delay, number(options.delayMs)},
        {SettingsKeys::RequireSelector, number(options.requireSelector)},
        {SettingsKeys::Tries, number(read.tries)},
        {SettingsKeys::Wait, number(read.hostWaitMs)},
        {SettingsKeys::Language, options.language},
        {SettingsKeys::CaCertificate, options.caCertificateFile},
        {SettingsKeys::CheckCertificates, number(options.checkCertificates)},
        // A crawl collects links, asks whether pages changed and waits 0.1 s per host.
        {SettingsKeys::FollowLinks,
         QStringLiteral("%1/%2/%3/%4")
             .arg(number(read.followLinks), number(options.collectLinks), number(options.conditionalLoads),
                  number(read.hostWaitMs))},
        {SettingsKeys::LinkDepth, number(read.level)},
        {SettingsKeys::ChangedOnly, number(read.changes.changedOnly)},
    };
    if (key != SettingsKeys::Header)
        return fields.value(key);
    QStringList headers;
    for (const auto &[name, value] : options.headers)
        headers << name + QLatin1Char('=') + value;
    return headers.join(QLatin1Char(';'));
}

} // namespace

void TestEngineSettings::eachKeyIsReadAsTheBatchReadsIt_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("problem");
    const auto row = [](const char *name, const QString &key, const char *value, const char *field,
                        const char *problem = "") {
        QTest::newRow(name) << key << QString::fromUtf8(value) << QString::fromUtf8(field)
                            << QString::fromUtf8(problem);
    };
    const QString ca = QCoreApplication::applicationFilePath(); // any readable file
    row("format alias", SettingsKeys::Format, "md", "markdown/1");
    row("format unknown", SettingsKeys::Format, "pdf", "text/0",
        "\"Format\" wants text, markdown, html or json, not \"pdf\"");
    row("main content", SettingsKeys::MainContent, "yes", "1");
    row("pages at once", SettingsKeys::PagesAtOnce, "32", "32");
    row("pages at once past 32", SettingsKeys::PagesAtOnce, "33", "1",
        "\"Pages At Once\" wants a whole number from 1 to 32, not \"33\"");
    row("time limit", SettingsKeys::TimeLimit, "2.5", "2500");
    row("time limit under 0.1 s", SettingsKeys::TimeLimit, "0.05", "60000",
        "\"Time Limit\" wants a number of seconds, not \"0.05\"");
    row("settle none", SettingsKeys::Settle, "0", "0");
    row("delay negative", SettingsKeys::Delay, "-1", "0", "\"Delay\" wants a number of seconds, not \"-1\"");
    row("tries", SettingsKeys::Tries, "3", "3");
    row("tries past 100", SettingsKeys::Tries, "101", "1", "\"Tries\" wants a whole number from 1 to 100, not \"101\"");
    row("host wait", SettingsKeys::Wait, "0.25", "250");
    row("language", SettingsKeys::Language, "de-DE", "de-DE");
    row("language with a blank", SettingsKeys::Language, "de DE", "",
        "\"Language\" wants a language tag such as de-DE, not \"de DE\"");
    QTest::newRow("ca certificate") << SettingsKeys::CaCertificate << ca << ca << QString();
    row("ca certificate missing", SettingsKeys::CaCertificate, "/nowhere/ca.pem", "",
        "\"CA Certificate\" wants a readable file, not \"/nowhere/ca.pem\"");
    row("certificates unchecked", SettingsKeys::CheckCertificates, "0", "0");
    row("headers, one a line", SettingsKeys::Header, "X-A: 1\n\nX-B: two words", "X-A=1;X-B=two words");
    // One refused line refuses them all.
    row("header cookie", SettingsKeys::Header, "X-A: 1\nCookie: a=b", "",
        "\"Header\" cannot set Cookie: give the cookies with --cookies FILE");
    row("require selector without one", SettingsKeys::RequireSelector, "1", "0",
        "\"Require Selector\" needs \"Wait For\"");
    row("follow links", SettingsKeys::FollowLinks, "on", "1/1/1/100");
    row("link depth without a limit", SettingsKeys::LinkDepth, "inf", "-1");
    row("link depth past 1000", SettingsKeys::LinkDepth, "1001", "5",
        "\"Link Depth\" wants a number of link steps up to 1000, or inf, not \"1001\"");
    row("changed only without a state", SettingsKeys::ChangedOnly, "1", "0",
        "\"Changed Only\" needs \"Track Changes\" or \"Follow Links\"");
}

void TestEngineSettings::eachKeyIsReadAsTheBatchReadsIt()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, field);
    QFETCH(QString, problem);
    const EngineSettings::Values values = [&](const QString &asked) { return asked == key ? value : QString(); };
    const EngineSettings::Read read = EngineSettings::read(values, {}, QProcessEnvironment());
    QCOMPARE(fieldOf(read, key), field);
    QCOMPARE(read.problems, problem.isEmpty() ? QStringList() : QStringList{problem});
    // The dialog refuses what a run would name.
    QCOMPARE(EngineSettings::refusal(values), problem);
}

void TestEngineSettings::unusableValuesAreNamedAndLeftAtTheirDefaults()
{
    QTemporaryDir folder;
    SettingsStore settings(folder.filePath(QStringLiteral("s.ini")));
    settings.write(SettingsKeys::UserAgent, QStringLiteral("Reader/1.0"));
    settings.write(SettingsKeys::Proxy, QStringLiteral("gopher://h"));
    settings.write(SettingsKeys::Block, QStringLiteral("images, fonts"));
    settings.write(SettingsKeys::Scroll, QStringLiteral("maybe"));
    settings.write(SettingsKeys::WaitFor, QStringLiteral("#comments"));
    QFile cookies(folder.filePath(QStringLiteral("cookies.txt")));
    QVERIFY(cookies.open(QIODevice::WriteOnly));
    cookies.write("#HttpOnly_.example.org\tTRUE\t/\tFALSE\t0\tsid\tabc\nbroken line\n");
    cookies.close();
    settings.write(SettingsKeys::CookiesFile, cookies.fileName());
    // A rules file the batch would refuse is named with its line, and no rule is used.
    const QString rules = folder.filePath(QStringLiteral("site.rules"));
    QFile rulesFile(rules);
    QVERIFY(rulesFile.open(QIODevice::WriteOnly));
    rulesFile.write("[*]\nselect = main\ndepth = 3\n");
    rulesFile.close();
    settings.write(SettingsKeys::RulesFile, rules);
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("https_proxy"), QStringLiteral("http://corp:8080"));

    const EngineSettings::Read read = EngineSettings::read(settings, {}, environment);
    QCOMPARE(read.options.userAgent, QStringLiteral("Reader/1.0"));
    QCOMPARE(read.options.blocked, EngineOptions::BlockImages | EngineOptions::BlockFonts);
    QCOMPARE(read.options.waitForSelector, QStringLiteral("#comments"));
    QVERIFY(!read.options.scroll);
    // The unusable proxy gives way to the variables, as an unset one does.
    QCOMPARE(read.options.proxyRules, QStringLiteral("https=http://corp:8080"));
    QCOMPARE(read.options.cookies.size(), 1);
    QVERIFY(read.options.cookies.front().httpOnly);
    QVERIFY(read.rules.isEmpty());
    QCOMPARE(read.problems.size(), 4);
    QVERIFY(read.problems.at(0).startsWith(QLatin1String("\"Proxy\" wants a proxy")));
    QVERIFY(read.problems.at(1).startsWith(QLatin1String("\"Scroll\" wants 1 or 0")));
    QVERIFY2(read.problems.at(2).startsWith(QStringLiteral("\"Rules File\": %1:3: unknown key").arg(rules)),
             qPrintable(read.problems.at(2)));
    QVERIFY2(read.problems.at(3).startsWith(QLatin1String("\"Cookies File\" line 2")), qPrintable(read.problems.at(3)));
}

QTEST_GUILESS_MAIN(TestEngineSettings)
#include "tst_EngineSettings.moc"
