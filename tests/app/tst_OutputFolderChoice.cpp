#include "app/Form1.h"
#include "app/OutputFolderChoice.h"
#include "fakes/FakeFolderBrowser.h"
#include "fakes/FakeFormView.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/StandInServices.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    explicit Fixture(const QString &storePath = {})
        : store(storePath.isEmpty() ? config.filePath(QStringLiteral("t.ini")) : storePath)
    {
        view.onFolderChange = [this] { form.Text1_Change(); };
    }
    FormServices services()
    {
        return {
            boxes, standIns.pump, store, {&standIns.page}, standIns.skin, browser, standIns.openFileDialog, {}, {}, {},
            {}};
    }

    QTemporaryDir config;
    SettingsStore store;
    FakeFormView view;
    UrlListModel list;
    FakeMessageBoxes boxes;
    FakeFolderBrowser browser;
    StandInServices standIns;
    Form1 form{view, list, services()};
};

} // namespace

class TestOutputFolderChoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pickedFolderGetsOneSeparator();
    void rootIsTakenAsItIs();
    void cancelChangesNothing();
    void startFolderIsTheBoxsFolderElseTheLastPick();
    void everyChangeOfTheBoxIsStored();
    void failedStoreIsReportedAndTheBoxStillSet();
};

void TestOutputFolderChoice::pickedFolderGetsOneSeparator()
{
    Fixture f;
    f.browser.answers = {QStringLiteral("/home/u/Data")};
    f.form.PushButton8_Click();
    QCOMPARE(f.browser.prompts, QStringList{QStringLiteral("Please select folder:")});
    QCOMPARE(f.view.folder, QStringLiteral("/home/u/Data/"));
    QCOMPARE(f.store.read(SettingsKeys::LastFolderDot), QStringLiteral("/home/u/Data"));
    QCOMPARE(f.store.read(SettingsKeys::DownloadLocation), QStringLiteral("/home/u/Data/"));
    QVERIFY(f.boxes.boxes.isEmpty());
}

void TestOutputFolderChoice::rootIsTakenAsItIs()
{
    Fixture f;
    f.browser.answers = {QStringLiteral("/")};
    f.form.PushButton8_Click();
    QCOMPARE(f.view.folder, QStringLiteral("/"));
    QCOMPARE(f.store.read(SettingsKeys::LastFolderDot), QStringLiteral("/"));
}

void TestOutputFolderChoice::cancelChangesNothing()
{
    Fixture f;
    f.view.setFolderText(QStringLiteral("/typed/"));
    f.store.write(SettingsKeys::LastFolderDot, QStringLiteral("/last"));
    f.form.PushButton8_Click(); // no answer queued: Cancel
    QCOMPARE(f.view.folder, QStringLiteral("/typed/"));
    QCOMPARE(f.store.read(SettingsKeys::LastFolderDot), QStringLiteral("/last"));
    QCOMPARE(f.store.read(SettingsKeys::DownloadLocation), QStringLiteral("/typed/"));
}

void TestOutputFolderChoice::startFolderIsTheBoxsFolderElseTheLastPick()
{
    Fixture f;
    f.browser.answers = {QStringLiteral("/picked")};
    f.form.PushButton8_Click();
    // A box that names no folder: the last pick.
    f.view.setFolderText(QStringLiteral("/typed/elsewhere/"));
    f.form.PushButton8_Click();
    QTemporaryDir typed;
    f.view.setFolderText(typed.path() + QLatin1Char('/'));
    f.form.PushButton8_Click();
    QCOMPARE(f.browser.startPaths, (QStringList{QString(), QStringLiteral("/picked"), typed.path()}));
}

void TestOutputFolderChoice::everyChangeOfTheBoxIsStored()
{
    Fixture f;
    for (const QString &text : {QStringLiteral("/"), QStringLiteral("/t"), QStringLiteral("/tm"), QString()}) {
        f.view.setFolderText(text);
        QCOMPARE(f.store.read(SettingsKeys::DownloadLocation, QStringLiteral("absent")), text);
    }
}

void TestOutputFolderChoice::failedStoreIsReportedAndTheBoxStillSet()
{
    QTemporaryDir dir;
    Fixture f(dir.path()); // the store is a folder: writing fails
    f.browser.answers = {QStringLiteral("/data")};
    f.form.PushButton8_Click();
    QCOMPARE(f.boxes.warnings().size(), 1);
    QVERIFY(f.boxes.warnings().first().contains(
        QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton8_Click at line 104\r")));
    QCOMPARE(f.view.folder, QStringLiteral("/data/"));
}

QTEST_GUILESS_MAIN(TestOutputFolderChoice)
#include "tst_OutputFolderChoice.moc"
