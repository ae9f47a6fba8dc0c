#include "app/EngineSettings.h"
#include "support/SettingsStore.h"

#include <QTemporaryDir>
#include <QtTest>

class TestEngineSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unusableValuesAreNamedAndLeftAtTheirDefaults();
};

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
    QCOMPARE(read.problems.size(), 3);
    QVERIFY(read.problems.at(0).startsWith(QLatin1String("\"Proxy\" wants a proxy")));
    QVERIFY(read.problems.at(1).startsWith(QLatin1String("\"Scroll\" wants 1 or 0")));
    QVERIFY2(read.problems.at(2).startsWith(QLatin1String("\"Cookies File\" line 2")), qPrintable(read.problems.at(2)));
}

QTEST_GUILESS_MAIN(TestEngineSettings)
#include "tst_EngineSettings.moc"
