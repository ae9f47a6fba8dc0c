#include "engine/chromium/BrowserIdentity.h"

#include <QJsonArray>
#include <QtTest>

class TestBrowserIdentity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void languageComesFromTheLocale_data();
    void languageComesFromTheLocale();
    void clientHintsAreThoseTheEngineGivesItself();
};

void TestBrowserIdentity::languageComesFromTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("languages");
    QTest::newRow("language and territory") << "de_DE.UTF-8"
                                            << "de-DE,de";
    QTest::newRow("modifier") << "sr_RS@latin"
                              << "sr-RS,sr";
    QTest::newRow("language alone") << "fr"
                                    << "fr";
    QTest::newRow("C with a codeset") << "C.UTF-8"
                                      << "en-US,en";
    QTest::newRow("POSIX") << "POSIX"
                           << "en-US,en";
    QTest::newRow("unset") << QString() << "en-US,en";
}

void TestBrowserIdentity::languageComesFromTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, languages);
    QCOMPARE(BrowserIdentity::languageList(BrowserIdentity::languageOfLocale(locale)), languages);
}

void TestBrowserIdentity::clientHintsAreThoseTheEngineGivesItself()
{
    // What Chromium 156 reports without any override: its GREASE brand first.
    BrowserIdentity identity(EngineOptions{});
    QVERIFY(identity.userAgentOverride().isEmpty());
    identity.setEngineVersion({{QStringLiteral("product"), QStringLiteral("Chrome/156.0.8078.129")},
                               {QStringLiteral("userAgent"),
                                QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 "
                                               "(KHTML, like Gecko) HeadlessChrome/156.0.0.0 Safari/537.36")}});
    const QJsonObject userAgent = identity.userAgentOverride();
    QCOMPARE(userAgent.value(QStringLiteral("userAgent")).toString(),
             QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
                            "Chrome/156.0.0.0 Safari/537.36"));
    const QJsonObject hints = userAgent.value(QStringLiteral("userAgentMetadata")).toObject();
    const QJsonArray brands{QJsonObject{{QStringLiteral("brand"), QStringLiteral("Not:A-Brand")},
                                        {QStringLiteral("version"), QStringLiteral("8")}},
                            QJsonObject{{QStringLiteral("brand"), QStringLiteral("Chromium")},
                                        {QStringLiteral("version"), QStringLiteral("156")}}};
    QCOMPARE(hints.value(QStringLiteral("brands")).toArray(), brands);
    QCOMPARE(hints.value(QStringLiteral("fullVersionList"))
                 .toArray()
                 .at(1)
                 .toObject()
                 .value(QStringLiteral("version"))
                 .toString(),
             QStringLiteral("156.0.8078.129"));
}

QTEST_GUILESS_MAIN(TestBrowserIdentity)
#include "tst_BrowserIdentity.moc"
