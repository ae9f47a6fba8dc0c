#include "fakes/TestFiles.h"
#include "support/RuntimeError.h"
#include "support/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void absentFileAndAbsentKeyGiveTheDefault();
    void storedValuesComeBackExactlyAndEmptyIsNotTheDefault();
    void valuesLiveInTheTextorinSectionOfTheTavrineFile();
    void textThatLooksLikeAListStaysText();
    void corruptFileGivesDefaultsAndTheNextChangeIsSaved();
    void unwritableStoreRaisesAnError();
    void eachUserHasTheirOwnStore();

private:
    QString iniPath() const { return m_dir.path() + QStringLiteral("/Tavrine.ini"); }

    QTemporaryDir m_dir;
};

void TestSettingsStore::init()
{
    QVERIFY(m_dir.isValid());
    QFile::remove(iniPath());
}

void TestSettingsStore::absentFileAndAbsentKeyGiveTheDefault()
{
    SettingsStore store(iniPath());
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("/home/u/Desktop/")),
             QStringLiteral("/home/u/Desktop/"));
    QCOMPARE(store.read(SettingsKeys::LastFolderDot), QString());
    QVERIFY(!QFile::exists(iniPath())); // reading creates nothing

    store.write(SettingsKeys::LastFolderDot, QStringLiteral("/data"));
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("dflt")), QStringLiteral("dflt"));
}

void TestSettingsStore::storedValuesComeBackExactlyAndEmptyIsNotTheDefault()
{
    const QStringList values = {QStringLiteral("C:\\Data\\"), QStringLiteral("/tmp/a b/ü/"),
                                QStringLiteral("  padded  "), QStringLiteral("a=b;c#d"),
                                QStringLiteral("123"),        QStringLiteral("true")};
    for (const QString &value : values) {
        SettingsStore(iniPath()).write(SettingsKeys::DownloadLocation, value);
        QCOMPARE(SettingsStore(iniPath()).read(SettingsKeys::DownloadLocation, QStringLiteral("x")), value);
    }
    SettingsStore store(iniPath());
    store.write(SettingsKeys::DownloadLocation, QString());
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("/desk/")), QString());
    // The two keys are independent.
    store.write(SettingsKeys::LastFolderDot, QStringLiteral("/chosen"));
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("/desk/")), QString());
    QCOMPARE(store.read(SettingsKeys::LastFolderDot), QStringLiteral("/chosen"));
}

void TestSettingsStore::valuesLiveInTheTextorinSectionOfTheTavrineFile()
{
    SettingsStore(iniPath()).write(SettingsKeys::DownloadLocation, QStringLiteral("/out/"));
    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("Textorin/Download Location")).toString(), QStringLiteral("/out/"));
    QVERIFY(SettingsStore::defaultFileName().endsWith(QStringLiteral("/Tavrine/Tavrine.ini")));
}

void TestSettingsStore::textThatLooksLikeAListStaysText()
{
    // Written by hand or by another tool: an unquoted comma makes QSettings see a list.
    QVERIFY(writeTestFile(iniPath(), "[Textorin]\nDownload Location=/a, b/\n"));
    QCOMPARE(SettingsStore(iniPath()).read(SettingsKeys::DownloadLocation), QStringLiteral("/a, b/"));
    SettingsStore(iniPath()).write(SettingsKeys::DownloadLocation, QStringLiteral("x, y"));
    QCOMPARE(SettingsStore(iniPath()).read(SettingsKeys::DownloadLocation), QStringLiteral("x, y"));
}

void TestSettingsStore::corruptFileGivesDefaultsAndTheNextChangeIsSaved()
{
    QVERIFY(writeTestFile(iniPath(), QByteArray("[Textorin\n\x01\x02garbage=\n[[[\n", 24) + QByteArray(4096, '\0')));
    SettingsStore store(iniPath());
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("/desk/")), QStringLiteral("/desk/"));
    store.write(SettingsKeys::DownloadLocation, QStringLiteral("/new/"));
    QCOMPARE(SettingsStore(iniPath()).read(SettingsKeys::DownloadLocation), QStringLiteral("/new/"));
    QSettings raw(iniPath(), QSettings::IniFormat);
    QCOMPARE(raw.status(), QSettings::NoError);
}

void TestSettingsStore::unwritableStoreRaisesAnError()
{
    // A folder where the file should be: nothing can be written there.
    QVERIFY(QDir().mkpath(iniPath()));
    SettingsStore store(iniPath());
    QCOMPARE(store.read(SettingsKeys::DownloadLocation, QStringLiteral("d")), QStringLiteral("d"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, store.write(SettingsKeys::DownloadLocation, QStringLiteral("v")));
    QVERIFY(QDir(iniPath()).removeRecursively());
}

void TestSettingsStore::eachUserHasTheirOwnStore()
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", first.path().toLocal8Bit());
    SettingsStore firstUser;
    QVERIFY(firstUser.fileName().startsWith(first.path()));
    firstUser.write(SettingsKeys::DownloadLocation, QStringLiteral("/first/"));

    qputenv("XDG_CONFIG_HOME", second.path().toLocal8Bit());
    SettingsStore secondUser;
    QCOMPARE(secondUser.read(SettingsKeys::DownloadLocation, QStringLiteral("none")), QStringLiteral("none"));
    secondUser.write(SettingsKeys::DownloadLocation, QStringLiteral("/second/"));
    QCOMPARE(firstUser.read(SettingsKeys::DownloadLocation), QStringLiteral("/first/"));
    QVERIFY(QFile::exists(first.path() + QStringLiteral("/Tavrine/Tavrine.ini")));

    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_SettingsStore.moc"
