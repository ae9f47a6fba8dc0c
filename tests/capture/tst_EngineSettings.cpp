#include "capture/EngineSettings.h"
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
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("https_proxy"), QStringLiteral("http://corp:8080"));

    const EngineSettings::Read read = EngineSettings::read(settings, {}, environment);
    QCOMPARE(read.options.userAgent, QStringLiteral("Reader/1.0"));
    QCOMPARE(read.options.blocked, EngineOptions::BlockImages | EngineOptions::BlockFonts);
    QCOMPARE(read.options.waitForSelector, QStringLiteral("#comments"));
    QVERIFY(!read.options.scroll);
    // The unusable proxy gives way to the variables, as an unset one does.
    QCOMPARE(read.options.proxyRules, QStringLiteral("https=http://corp:8080"));
    QCOMPARE(read.problems.size(), 2);
    QVERIFY(read.problems.front().startsWith(QLatin1String("\"Proxy\" wants a proxy")));
    QVERIFY(read.problems.back().startsWith(QLatin1String("\"Scroll\" wants 1 or 0")));
}

QTEST_GUILESS_MAIN(TestEngineSettings)
#include "tst_EngineSettings.moc"
