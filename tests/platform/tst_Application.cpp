#include "fakes/LocalHttpServer.h"
#include "fakes/TestFiles.h"
#include "platform/Application.h"
#include "platform/CaptionProgressBar.h"
#include "platform/DialogStandIn.h"
#include "platform/MainWindow.h"
#include "platform/UrlListView.h"
#include "process/ChildProcesses.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The CPU time this process has spent, in clock ticks.
qint64 ownTicks()
{
    QFile file(QStringLiteral("/proc/self/stat"));
    const QByteArray line = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

} // namespace

// The real window with its real services; only the console and the dialogs'
// answers stand in for the machine and the user.
class TestApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyControlReachesItsOperation();
    void aRunIsFollowedStoppedAndContinued();
    void anIdleWindowReadsNothingAndSpendsNothing();
};

void TestApplication::everyControlReachesItsOperation()
{
    QTemporaryDir config;
    QTemporaryDir out;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    LocalHttpServer server;
    QVERIFY(server.listen());
    server.page("/page", "<html><body><p>from the window</p></body></html>");
    const QString list = config.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeTestFile(list, "http://a.example/\nhttp://b.example/\n"));

    QStringList commands;
    QStringList informations;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        switch (request.kind) {
        case DialogStandIn::Kind::Input: return server.url(QStringLiteral("/page"));
        case DialogStandIn::Kind::Folder: return out.path();
        case DialogStandIn::Kind::OpenFile: return list;
        case DialogStandIn::Kind::Information:
            informations << request.text;
            if (!request.informative.isEmpty())
                informations << request.informative;
            break;
        case DialogStandIn::Kind::Warning: informations << QStringLiteral("warning: ") + request.text; break;
        }
        return QString();
    });
    Application app([&](const QString &command) {
        commands << command;
        return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1");
    });
    app.start();
    MainWindow &window = app.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(commands.size(), 1);

    QTest::mouseClick(window.PushButton4(), Qt::LeftButton);
    QCOMPARE(app.list().count(), 2);
    QTest::mouseClick(window.PushButton7(), Qt::LeftButton);
    QCOMPARE(app.list().count(), 0);
    QTest::mouseClick(window.PushButton6(), Qt::LeftButton);
    QCOMPARE(app.list().rows().mid(0, 2),
             (QStringList{QStringLiteral("http://a.example/"), QStringLiteral("http://b.example/")}));
    QTest::mouseClick(window.PushButton7(), Qt::LeftButton);
    QTest::mouseClick(window.PushButton1(), Qt::LeftButton);
    QCOMPARE(app.list().rows(), QStringList{server.url(QStringLiteral("/page"))});

    QTest::mouseClick(window.PushButton8(), Qt::LeftButton);
    QCOMPARE(window.Text1()->text(), out.path() + QLatin1Char('/'));
    QCOMPARE(SettingsStore().read(SettingsKeys::DownloadLocation), out.path() + QLatin1Char('/'));
    window.Text1()->clear();
    QTest::keyClicks(window.Text1(), out.path());
    QCOMPARE(SettingsStore().read(SettingsKeys::DownloadLocation), out.path());

    QTest::mouseClick(window.PushButton2(), Qt::LeftButton);
    QCOMPARE(informations, (QStringList{QStringLiteral("Done."), QStringLiteral("1 saved, 0 failed.")}));
    QCOMPARE(readTestFile(out.filePath(QStringLiteral("127.0.0.1 %1_page.txt").arg(server.port()))),
             QByteArray("from the window"));

    // Escape, wherever the focus is, stops a run at once: the row loading ends without a file.
    LocalHttpServer::Reply slow;
    slow.delayMs = 1500;
    slow.body = "<html><body>slow</body></html>";
    server.route(QStringLiteral("/slow"), slow);
    app.list().append(server.url(QStringLiteral("/slow")));
    app.list().append(server.url(QStringLiteral("/never-visited")));
    window.Text1()->setFocus();
    // Pressed once the slow row is loading.
    QTimer escape;
    escape.setInterval(20);
    QObject::connect(&escape, &QTimer::timeout, &window, [&] {
        if (server.hits(QStringLiteral("/slow")) > 0) {
            escape.stop();
            QTest::keyClick(window.Text1(), Qt::Key_Escape);
        }
    });
    escape.start();
    QTest::mouseClick(window.PushButton2(), Qt::LeftButton);
    QCOMPARE(informations.last(), QStringLiteral("1 saved, 0 failed. Stopped after 1 of 3 rows."));
    QCOMPARE(server.hits(QStringLiteral("/never-visited")), 0);
    QCOMPARE(window.ProgressBar1()->caption(), QStringLiteral("Progress Bar"));

    // A second Start runs the whole list to its end unattended: a page that
    // cannot be had opens no box and marks its row.
    LocalHttpServer::Reply gone;
    gone.status = 404;
    server.route(QStringLiteral("/gone"), gone);
    app.list().clear();
    app.list().append(server.url(QStringLiteral("/gone")));
    app.list().append(server.url(QStringLiteral("/page")));
    informations.clear();
    QTest::mouseClick(window.PushButton2(), Qt::LeftButton);
    QCOMPARE(informations, (QStringList{QStringLiteral("Done."), QStringLiteral("1 saved, 1 failed.")}));
    QCOMPARE(app.list().rowState(1), UrlListModel::RowState::Failed);
    QVERIFY(app.list().rowReason(1).contains(QStringLiteral("404")));
    QCOMPARE(app.list().rowState(2), UrlListModel::RowState::Saved);
    DialogStandIn::set({});
    app.browser().shutdown();
}

void TestApplication::aRunIsFollowedStoppedAndContinued()
{
    QTemporaryDir config;
    QTemporaryDir out;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    LocalHttpServer server;
    QVERIFY(server.listen());
    for (const char *name : {"a", "b", "c"})
        server.page(QStringLiteral("/%1").arg(QLatin1String(name)),
                    QByteArray("<html><body>") + name + "</body></html>");
    LocalHttpServer::Reply slow;
    slow.delayMs = 1500;
    slow.body = "<html><body>slow</body></html>";
    server.route(QStringLiteral("/slow"), slow);
    QStringList informations;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        if (request.kind == DialogStandIn::Kind::Information)
            informations << request.text + QLatin1Char(' ') + request.informative;
        return QString();
    });
    Application app([](const QString &) { return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1"); });
    app.start();
    MainWindow &window = app.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Text1()->setText(out.path());
    const QString a = server.url(QStringLiteral("/a"));
    const QString slowUrl = server.url(QStringLiteral("/slow"));
    app.list().appendRows({a, QString(a).replace(QLatin1String("http://"), QLatin1String("HTTP://")),
                           server.url(QStringLiteral("/b")), slowUrl, server.url(QStringLiteral("/c"))});

    // While the slow row loads: the caption, a refused removal, a box, then Escape.
    QStringList captions;
    bool clearEnabled = true;
    int rowsDuringRun = 0;
    bool startEnabledWhileStopping = true;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, &window, [&] {
        if (server.hits(QStringLiteral("/slow")) == 0)
            return;
        probe.stop();
        captions << window.ProgressBar1()->caption();
        clearEnabled = window.PushButton7()->isEnabled();
        app.list().select(1);
        QTest::keyClick(window.ListView1(), Qt::Key_Delete);
        rowsDuringRun = app.list().count();
        captions << window.ProgressBar1()->caption();
        QDialog box(&window);
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        captions << window.ProgressBar1()->caption();
        box.hide();
        captions << window.ProgressBar1()->caption();
        QApplication::setActiveWindow(&window);
        QTest::keyClick(window.Text1(), Qt::Key_Escape);
        captions << window.ProgressBar1()->caption();
        startEnabledWhileStopping = window.PushButton2()->isEnabled();
    });
    probe.start();
    QTest::mouseClick(window.PushButton2(), Qt::LeftButton);
    const QString processing = QStringLiteral("Processing: %1 (row 4 of 5; 2 saved, 0 failed, 1 skipped)").arg(slowUrl);
    QCOMPARE(captions,
             (QStringList{processing, QStringLiteral("Rows cannot be removed during a run"),
                          QStringLiteral("Rows cannot be removed during a run") + MainWindow::pausedSuffix(),
                          QStringLiteral("Rows cannot be removed during a run"), QStringLiteral("Stopping…")}));
    QVERIFY(!clearEnabled);
    QCOMPARE(rowsDuringRun, 5);
    QVERIFY(!startEnabledWhileStopping);
    QVERIFY(window.PushButton2()->isEnabled() && window.PushButton7()->isEnabled());
    QVERIFY2(informations.last().contains(QLatin1String("Stopped after")), qPrintable(informations.last()));
    QCOMPARE(app.list().rowState(2), UrlListModel::RowState::Skipped);
    QCOMPARE(app.list().rowReason(2), QStringLiteral("same address as row 1"));
    QCOMPARE(server.hits(QStringLiteral("/a")), 1);
    QCOMPARE(server.hits(QStringLiteral("/c")), 0);

    // Start continues: row 5 only (and the slow one, if its stop ended it), row 1's file untouched.
    const QString fileA = out.filePath(QStringLiteral("127.0.0.1 %1_a.txt").arg(server.port()));
    struct stat before = {};
    QCOMPARE(::stat(QFile::encodeName(fileA).constData(), &before), 0);
    QTest::mouseClick(window.PushButton2(), Qt::LeftButton);
    struct stat after = {};
    QCOMPARE(::stat(QFile::encodeName(fileA).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(server.hits(QStringLiteral("/a")), 1);
    QCOMPARE(server.hits(QStringLiteral("/b")), 1);
    QCOMPARE(server.hits(QStringLiteral("/c")), 1);
    QVERIFY2(!informations.last().contains(QLatin1String("Stopped")), qPrintable(informations.last()));
    // The counts are the files.
    int saved = 0;
    for (int row = 1; row <= app.list().count(); ++row)
        saved += app.list().rowState(row) == UrlListModel::RowState::Saved;
    QCOMPARE(saved, 4);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), saved);
    DialogStandIn::set({});
    app.browser().shutdown();
}

void TestApplication::anIdleWindowReadsNothingAndSpendsNothing()
{
    QTemporaryDir config;
    QTemporaryDir out;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    LocalHttpServer server;
    QVERIFY(server.listen());
    server.page("/page", "<html><body><p>from the window</p></body></html>");
    QStringList informations;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        if (request.kind == DialogStandIn::Kind::Information)
            informations << request.text;
        return QString();
    });
    Application app([](const QString &) { return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1"); });
    app.start();
    MainWindow &window = app.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    app.list().append(server.url(QStringLiteral("/page")));
    window.Text1()->clear();
    QTest::keyClicks(window.Text1(), out.path());
    QTest::mouseClick(window.PushButton2(), Qt::LeftButton);
    QCOMPARE(informations, QStringList{QStringLiteral("Done.")});
    QVERIFY(app.browser().isRunning());

    // The engine waits for the next run; meanwhile nothing of /proc is read and
    // the window spends next to no CPU.
    const quint64 reads = ChildProcesses::procReads();
    const qint64 ticks = ownTicks();
    QTest::qWait(10'000);
    const qint64 spent = ownTicks() - ticks;
    QCOMPARE(ChildProcesses::procReads(), reads);
    QVERIFY2(ticks >= 0 && spent < sysconf(_SC_CLK_TCK) / 5, qPrintable(QString::number(spent)));
    QVERIFY(app.browser().isRunning());
    DialogStandIn::set({});
    app.browser().shutdown();
}

QTEST_MAIN(TestApplication)
#include "tst_Application.moc"
