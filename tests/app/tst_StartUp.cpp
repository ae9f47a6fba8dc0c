#include "app/Form1.h"
#include "app/StartUp.h"
#include "fakes/FakeFormView.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeSkin.h"
#include "fakes/StandInServices.h"
#include "fakes/TestFiles.h"
#include "support/ApplicationTitle.h"
#include "support/PathHelpers.h"
#include "support/RuntimeError.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    Fixture() : store(config.filePath(QStringLiteral("t.ini")))
    {
        view.onFolderChange = [this] { form.Text1_Change(); };
    }
    FormServices services()
    {
        return {boxes,
                standIns.pump,
                store,
                {&standIns.page},
                skin,
                standIns.folderBrowser,
                standIns.openFileDialog,
                [this](const QString &commandLine) {
                    events << QStringLiteral("ping");
                    if (failOnlineCheck)
                        throw RuntimeError(QStringLiteral("No console"));
                    return commandLine.contains(QStringLiteral("ping")) ? pingOutput : QString();
                },
                appFolder.path(),
                [this] { events << QStringLiteral("end"); },
                {}};
    }
    void putFile(const QString &relative, const QByteArray &bytes = "x")
    {
        QDir(appFolder.path()).mkpath(QFileInfo(relative).path());
        QVERIFY(writeTestFile(appFolder.filePath(relative), bytes));
    }
    void load() { form.Form_Load(); }
    QStringList reportedLines() const
    {
        QStringList lines;
        for (const QString &text : boxes.warnings())
            lines << text.section(QStringLiteral("at line "), 1).section(QLatin1Char('\r'), 0, 0);
        return lines;
    }

    QTemporaryDir config;
    QTemporaryDir appFolder;
    SettingsStore store;
    FakeFormView view;
    UrlListModel list;
    FakeMessageBoxes boxes;
    FakeSkin skin;
    StandInServices standIns;
    QStringList events;
    QString pingOutput = QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1 ttl=50");
    bool failOnlineCheck = false;
    Form1 form{view, list, services()};
};

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ApplicationTitle::reset(); }
    void firstStartShowsAndStoresTheDesktop();
    void laterStartsShowTheStoredTextAsItIs();
    void offlineWarningComesFirstUnderTheBuiltInTitle();
    void plainStartHasNoSkinNoPointerAndNoMessages();
    void skinFileAppliesColoursAndTheSkin();
    void hiddenSkinFileIsNotFound();
    void pointerFileBecomesTheMouseIcon();
    void failedStepsAreReportedAndStartUpGoesOn();
    void titleLosesItsLastWordsToFit_data();
    void titleLosesItsLastWordsToFit();
    void closingTheWindowEndsTheProgram();
    void onlineCheckCanBeTurnedOff();
};

void TestStartUp::firstStartShowsAndStoresTheDesktop()
{
    Fixture f;
    f.load();
    QCOMPARE(f.view.folder, DesktopFolderPath());
    QCOMPARE(f.store.read(SettingsKeys::DownloadLocation), DesktopFolderPath());
    QCOMPARE(f.list.columnHeaderCount(), 1);
    QCOMPARE(f.list.columnHeaderText(1), QStringLiteral(" Web Site(s)"));
    QCOMPARE(f.list.columnWidth(1), 7000.0);
    QCOMPARE(f.view.windowCaption, QStringLiteral("Textorin"));
    QVERIFY(f.view.productIcon);
    QCOMPARE(ApplicationTitle::current(), QStringLiteral("Textorin"));
    QVERIFY(f.boxes.boxes.isEmpty());
}

void TestStartUp::laterStartsShowTheStoredTextAsItIs()
{
    for (const QString &stored : {QStringLiteral("/no/such/folder/"), QString()}) {
        Fixture f;
        f.store.write(SettingsKeys::DownloadLocation, stored);
        f.load();
        QCOMPARE(f.view.folder, stored);
        QCOMPARE(f.store.read(SettingsKeys::DownloadLocation, QStringLiteral("absent")), stored);
    }
}

void TestStartUp::offlineWarningComesFirstUnderTheBuiltInTitle()
{
    Fixture f;
    f.pingOutput = QStringLiteral("ping: www.yahoo.com: Temporary failure in name resolution");
    f.view.onLoadMouseIcon = [&](const QString &) { f.events << QStringLiteral("pointer"); };
    f.putFile(QStringLiteral("HAND-M.CUR"));
    f.load();
    QCOMPARE(f.events, (QStringList{QStringLiteral("ping"), QStringLiteral("pointer")}));
    QCOMPARE(f.boxes.informations(),
             QStringList{QStringLiteral("You must be online to use this software accurately.")});
    QCOMPARE(f.boxes.boxes.first().caption, QStringLiteral("Textorin"));
    QCOMPARE(f.list.columnHeaderCount(), 1); // start-up went on
}

void TestStartUp::plainStartHasNoSkinNoPointerAndNoMessages()
{
    Fixture f;
    f.load();
    QVERIFY(f.skin.calls.isEmpty());
    QCOMPARE(f.view.backColor, 0xFFFFFFu);
    QCOMPARE(f.view.frameBackColor, 0xFFFFFFu);
    QVERIFY(!f.view.hasMouseIcon());
    QVERIFY(f.boxes.boxes.isEmpty());
}

void TestStartUp::skinFileAppliesColoursAndTheSkin()
{
    Fixture f;
    f.putFile(QStringLiteral("x/o.cjs"), "QWidget {}");
    f.load();
    QCOMPARE(f.view.backColor, ButtonFaceColour);
    QCOMPARE(f.view.frameBackColor, ButtonFaceColour);
    QCOMPARE(f.skin.calls,
             (QStringList{QStringLiteral("load o.cjs []"), QStringLiteral("options 5"), QStringLiteral("dialogs 1"),
                          QStringLiteral("frames 1"), QStringLiteral("apply 42")}));
}

void TestStartUp::hiddenSkinFileIsNotFound()
{
    Fixture f;
    f.putFile(QStringLiteral("x/o.cjs/inner")); // a folder of that name
    f.load();
    QVERIFY(f.skin.calls.isEmpty());
    QCOMPARE(f.view.backColor, 0xFFFFFFu);
}

void TestStartUp::pointerFileBecomesTheMouseIcon()
{
    Fixture f;
    f.putFile(QStringLiteral("HAND-M.CUR"));
    f.load();
    QCOMPARE(f.view.mouseIcon, f.appFolder.filePath(QStringLiteral("HAND-M.CUR")));
}

void TestStartUp::failedStepsAreReportedAndStartUpGoesOn()
{
    Fixture f;
    f.failOnlineCheck = true;
    f.skin.failLoad = true;
    f.putFile(QStringLiteral("x/o.cjs"));
    f.putFile(QStringLiteral("HAND-M.CUR"), "not a cursor");
    f.view.onLoadMouseIcon = [](const QString &) { throw RuntimeError(QStringLiteral("Invalid picture"), 481); };
    f.load();
    QCOMPARE(f.reportedLines(), (QStringList{QStringLiteral("102"), QStringLiteral("104"), QStringLiteral("108")}));
    QVERIFY(f.boxes.warnings().at(1).startsWith(
        QStringLiteral("Skin engine failed\r\nin TextorinApp2021/08/31.Form1.Form_Load at line 104\r\r")));
    // The skin step stopped at the failed call; the colours it set first stay.
    QCOMPARE(f.skin.calls.size(), 1);
    QCOMPARE(f.view.backColor, ButtonFaceColour);
    QCOMPARE(f.view.windowCaption, QStringLiteral("Textorin"));
    QCOMPARE(f.list.columnHeaderCount(), 1);
    QCOMPARE(f.view.folder, DesktopFolderPath());
}

void TestStartUp::titleLosesItsLastWordsToFit_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("no blank") << "Textorin"
                              << "Textorin";
    QTest::newRow("short name still cut once") << "Textorin Pro"
                                               << "Textorin";
    const QString forty = QStringLiteral("Textorin Page Text Saver Desktop Edition"); // 40
    QTest::newRow("exactly 40") << forty << "Textorin Page Text Saver Desktop";
    QTest::newRow("one cut") << "Textorin Page Text Saver Desktop Extended"
                             << "Textorin Page Text Saver Desktop";
    QTest::newRow("two cuts") << forty + QStringLiteral(" Plus More") << "Textorin Page Text Saver Desktop Edition";
}

void TestStartUp::titleLosesItsLastWordsToFit()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(ApplicationTitle::derive(name), title);
    QVERIFY(ApplicationTitle::derive(name).size() <= 40);
}

void TestStartUp::closingTheWindowEndsTheProgram()
{
    Fixture f;
    f.form.Form_Unload();
    QCOMPARE(f.events, QStringList{QStringLiteral("end")});
}

void TestStartUp::onlineCheckCanBeTurnedOff()
{
    const auto pings = [](const QString &setting, const QByteArray &environment) {
        Fixture f;
        if (!setting.isNull())
            f.store.write(SettingsKeys::OnlineCheck, setting);
        qputenv("TEXTORIN_NO_ONLINE_CHECK", environment);
        f.load();
        qunsetenv("TEXTORIN_NO_ONLINE_CHECK");
        return f.events.contains(QStringLiteral("ping"));
    };
    QVERIFY(pings({}, {}));
    QVERIFY(pings(QStringLiteral("1"), "yes"));
    QVERIFY(!pings(QStringLiteral("0"), {}));
    QVERIFY(!pings({}, "1"));
}

QTEST_GUILESS_MAIN(TestStartUp)
#include "tst_StartUp.moc"
