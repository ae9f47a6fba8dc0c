#include "support/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void absentEmptyAndStoredValues();
    void valuesRoundTripExactly_data();
    void valuesRoundTripExactly();
    void damagedFileGivesDefaultsAndTheNextChangeIsSaved();
    void eachUserHasOwnStoreInTheConfigurationLocation();
};

void TestSettingsStore::absentEmptyAndStoredValues()
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("t.ini")));
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("/desk/")), QStringLiteral("/desk/"));
    QCOMPARE(store.read(SettingsKeys::LastFolderDot), QString());
    store.write(SettingsKeys::DownloadLocation, QString());
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("/desk/")), QString());
    store.write(SettingsKeys::LastFolderDot, QStringLiteral("/data"));
    QCOMPARE(SettingsStore(store.fileName()).read(SettingsKeys::LastFolderDot), QStringLiteral("/data"));
    QFile file(store.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("[Textorin]"));
}

void TestSettingsStore::valuesRoundTripExactly_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("comma") << QStringLiteral("/a, b/c");
    QTest::newRow("at sign") << QStringLiteral("@Variant(x)");
    QTest::newRow("blanks") << QStringLiteral("  /x  ");
    QTest::newRow("unicode") << QStringLiteral("/home/ü/日本/");
    QTest::newRow("quotes and semicolon") << QStringLiteral("/a\"b;c=d");
    QTest::newRow("backslashes") << QStringLiteral("C:\\Data\\");
}

void TestSettingsStore::valuesRoundTripExactly()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("t.ini")));
    store.write(SettingsKeys::DownloadLocation, value);
    QCOMPARE(SettingsStore(store.fileName()).read(SettingsKeys::DownloadLocation), value);
}

void TestSettingsStore::damagedFileGivesDefaultsAndTheNextChangeIsSaved()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Textorin\n\x01\x02\xff\xfe garbage = = =\n[[[\n");
    file.close();
    SettingsStore store(path);
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("/default/")), QStringLiteral("/default/"));
    store.write(SettingsKeys::DownloadLocation, QStringLiteral("/saved/"));
    QCOMPARE(SettingsStore(path).read(SettingsKeys::DownloadLocation), QStringLiteral("/saved/"));

    // A store that cannot be written raises, so its callers can decide.
    SettingsStore blocked(dir.path()); // a folder, not a file
    QVERIFY_THROWS_EXCEPTION(std::exception, blocked.write(SettingsKeys::LastFolderDot, QStringLiteral("x")));
}

void TestSettingsStore::eachUserHasOwnStoreInTheConfigurationLocation()
{
    QTemporaryDir alice;
    QTemporaryDir bob;
    qputenv("XDG_CONFIG_HOME", alice.path().toUtf8());
    QCOMPARE(SettingsStore::defaultFileName(), alice.filePath(QStringLiteral("Tavrine/Tavrine.ini")));
    SettingsStore().write(SettingsKeys::DownloadLocation, QStringLiteral("/alice/"));
    qputenv("XDG_CONFIG_HOME", bob.path().toUtf8());
    QCOMPARE(SettingsStore().read(SettingsKeys::DownloadLocation, QStringLiteral("none")), QStringLiteral("none"));
    qputenv("XDG_CONFIG_HOME", alice.path().toUtf8());
    QCOMPARE(SettingsStore().read(SettingsKeys::DownloadLocation), QStringLiteral("/alice/"));
    qunsetenv("XDG_CONFIG_HOME");
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_SettingsStore.moc"
