#include "app/EngineSettings.h"
#include "fakes/BatchProgram.h"
#include "fakes/TestFiles.h"
#include "platform/Application.h"
#include "platform/DialogStandIn.h"
#include "platform/OptionsDialog.h"
#include "support/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString pingReply(const QString &)
{
    return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1");
}

// Every dialog's text, and nothing chosen.
void collectDialogs(QStringList *texts)
{
    DialogStandIn::set([texts](const DialogStandIn::Request &request) {
        *texts << request.text << request.informative;
        return QString();
    });
}

} // namespace

// The options dialog of the real window, and what a run of the window saves with them.
class TestWindowOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dialogStoresEveryValueOrNone();
    void windowSavesTheTreeTheBatchSaves();
};

void TestWindowOptions::dialogStoresEveryValueOrNone()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString cookies = config.filePath(QStringLiteral("cookies.txt"));
    QVERIFY(writeTestFile(cookies, ".example.org\tTRUE\t/\tFALSE\t0\tsid\tabc\n"));
    const QString ca = QCoreApplication::applicationFilePath(); // any readable file
    const QList<std::pair<QString, QString>> chosen{
        {SettingsKeys::Format, QStringLiteral("markdown")},
        {SettingsKeys::MainContent, QStringLiteral("1")},
        {SettingsKeys::PagesAtOnce, QStringLiteral("3")},
        {SettingsKeys::TimeLimit, QStringLiteral("12.5")},
        {SettingsKeys::Settle, QStringLiteral("0.5")},
        {SettingsKeys::Delay, QStringLiteral("1")},
        {SettingsKeys::Scroll, QStringLiteral("1")},
        {SettingsKeys::WaitFor, QStringLiteral("#ready")},
        {SettingsKeys::RequireSelector, QStringLiteral("1")},
        {SettingsKeys::Block, QStringLiteral("images,fonts")},
        {SettingsKeys::Tries, QStringLiteral("3")},
        {SettingsKeys::Wait, QStringLiteral("0.25")},
        {SettingsKeys::UserAgent, QStringLiteral("Reader/2.0")},
        {SettingsKeys::Language, QStringLiteral("de-DE")},
        {SettingsKeys::CookiesFile, cookies},
        {SettingsKeys::Proxy, QStringLiteral("http://127.0.0.1:3128")},
        {SettingsKeys::CaCertificate, ca},
        {SettingsKeys::CheckCertificates, QStringLiteral("0")},
        {SettingsKeys::Header, QStringLiteral("X-A: 1\nX-B: two")},
    };
    QStringList dialogs;
    collectDialogs(&dialogs);
    {
        Application app(pingReply);
        app.start();
        MainWindow &window = app.window();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        OptionsDialog *dialog = app.optionsDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->value(SettingsKeys::Format), QStringLiteral("text"));
        QCOMPARE(dialog->value(SettingsKeys::Block), QStringLiteral("media"));
        QCOMPARE(dialog->value(SettingsKeys::TimeLimit), QStringLiteral("60"));

        // A value that cannot be used is named with the batch's message; nothing is stored.
        for (const auto &[key, value] : chosen)
            dialog->setValue(key, value);
        dialog->setValue(SettingsKeys::WaitFor, QStringLiteral("a[href"));
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QVERIFY2(dialog->problem().startsWith(QLatin1String("\"Wait For\" wants a CSS selector (")),
                 qPrintable(dialog->problem()));
        QVERIFY(dialog->problem().endsWith(QLatin1String(", not \"a[href\"")));
        QVERIFY(!QFile::exists(SettingsStore().fileName()) || SettingsStore().read(SettingsKeys::Format).isEmpty());

        dialog->setValue(SettingsKeys::WaitFor, QStringLiteral("#ready"));
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        QVERIFY(dialog->problem().isEmpty());
        for (const auto &[key, value] : chosen)
            QCOMPARE(SettingsStore().read(key), value);

        // Cancel stores nothing.
        app.logic().mnuOptions_Click();
        QVERIFY(dialog->isVisible());
        dialog->setValue(SettingsKeys::Format, QStringLiteral("json"));
        dialog->reject();
        QCOMPARE(SettingsStore().read(SettingsKeys::Format), QStringLiteral("markdown"));
    }
    Application again(pingReply);
    QCOMPARE(Application::pagesAtOnce(SettingsStore()), 3);
    QVERIFY(EngineSettings::read(SettingsStore(), {}, QProcessEnvironment()).problems.isEmpty());
    again.logic().mnuOptions_Click();
    QVERIFY(again.optionsDialog());
    for (const auto &[key, value] : chosen)
        QCOMPARE(again.optionsDialog()->value(key), value);
    again.optionsDialog()->reject();
    QCOMPARE(dialogs, QStringList());
    DialogStandIn::set({});
}

void TestWindowOptions::windowSavesTheTreeTheBatchSaves()
{
    QTemporaryDir config;
    QTemporaryDir byWindow;
    QTemporaryDir byBatch;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    BatchProgram batch;
    QVERIFY(batch.start());
    LocalHttpServer &server = batch.server();
    // The selector's element comes in late, into the page's main part.
    const QByteArray late = "<script>setTimeout(() => { const ready = document.createElement('p');"
                            " ready.id = 'ready'; ready.textContent = 'in late';"
                            " (document.querySelector('article, main') || document.body).append(ready);"
                            " }, 150)</script>";
    server.page("/article",
                "<html><body><nav><a href=/>Home</a> | <a href=/b>B</a></nav><article><h1>Notes</h1>"
                "<p>Version 2 is out. It starts in half the time, and this sentence makes the "
                "paragraph long enough to be an article's.</p><ul><li>Faster start</li>"
                "<li>Smaller <a href=/dl>downloads</a></li></ul></article>"
                    + late + "</body></html>");
    server.page("/table",
                "<html><body><main><h2>Prices</h2><table><tr><th>Item</th><th>Price</th></tr>"
                "<tr><td>Tea</td><td>$3</td></tr><tr><td>Cake</td><td>$4</td></tr></table></main>"
                    + late + "</body></html>");
    server.page("/plain", "<html><body><p>Only <em>this</em>.</p>" + late + "</body></html>");
    const QStringList rows{server.url(QStringLiteral("/article")), server.url(QStringLiteral("/table")),
                           server.url(QStringLiteral("/plain"))};

    SettingsStore settings;
    settings.write(SettingsKeys::Format, QStringLiteral("markdown"));
    settings.write(SettingsKeys::MainContent, QStringLiteral("1"));
    settings.write(SettingsKeys::WaitFor, QStringLiteral("#ready"));
    settings.write(SettingsKeys::PagesAtOnce, QStringLiteral("2"));
    settings.write(SettingsKeys::Tries, QStringLiteral("2"));
    QStringList dialogs;
    collectDialogs(&dialogs);
    Application app(pingReply);
    app.start();
    for (const QString &row : rows)
        app.list().append(row);
    app.window().Text1()->setText(byWindow.path());
    QTest::mouseClick(app.window().PushButton2(), Qt::LeftButton);
    QCOMPARE(dialogs, (QStringList{QStringLiteral("Done."), QStringLiteral("3 saved, 0 failed.")}));
    app.browser().shutdown();
    DialogStandIn::set({});

    QStringList arguments{QStringLiteral("--format"),
                          QStringLiteral("markdown"),
                          QStringLiteral("--main-content"),
                          QStringLiteral("--wait-for"),
                          QStringLiteral("#ready"),
                          QStringLiteral("-j"),
                          QStringLiteral("2"),
                          QStringLiteral("--tries"),
                          QStringLiteral("2"),
                          QStringLiteral("--folder"),
                          byBatch.path()};
    for (const QString &row : rows)
        arguments << QStringLiteral("-u") << row;
    const BatchProgram::Result result = batch.run(arguments);
    QCOMPARE(result.exitCode, 0);

    const QStringList names = QDir(byWindow.path()).entryList(QDir::Files);
    QCOMPARE(names, QDir(byBatch.path()).entryList(QDir::Files));
    QCOMPARE(names.size(), 3);
    for (const QString &name : names) {
        QVERIFY(name.endsWith(QLatin1String(".md")));
        const QByteArray saved = readTestFile(QDir(byWindow.path()).filePath(name));
        QVERIFY2(!saved.contains("Home"), saved.constData());
        if (name.contains(QLatin1String("article")))
            QVERIFY2(saved.contains("in late"), saved.constData());
        QCOMPARE(saved, readTestFile(QDir(byBatch.path()).filePath(name)));
    }
}

QTEST_MAIN(TestWindowOptions)
#include "tst_WindowOptions.moc"
