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
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
    void escapeEndsAPageThatNeverAnswersAtOnce();
    void secondStartShowsTheFirstWindow();

public Q_SLOTS:
    // Stands in for the desktop's default program.
    void openLocalFile(const QUrl &url) { m_opened << url.toLocalFile(); }

private:
    QStringList m_opened;
};

namespace {

QAction *entry(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// The enabled entries of a menu, greyed ones in brackets.
QStringList entries(QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << (action->isEnabled() ? action->text() : QLatin1Char('[') + action->text() + QLatin1Char(']'));
    }
    return texts;
}

} // namespace

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
    QStringList folderStarts;
    QStringList reportStarts;
    const QString report = config.filePath(QStringLiteral("report.jsonl"));
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        switch (request.kind) {
        case DialogStandIn::Kind::Input: return server.url(QStringLiteral("/page"));
        case DialogStandIn::Kind::Folder:
            folderStarts << request.fileDialog->selectedFiles().value(0);
            return out.path();
        case DialogStandIn::Kind::SaveFile:
            reportStarts << request.fileDialog->directory().absolutePath() + QLatin1Char('|')
                    + request.fileDialog->selectedFiles().value(0);
            return report;
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

    // The chooser opens on the folder the box names.
    window.Text1()->setText(config.path() + QLatin1Char('/'));
    QTest::mouseClick(window.PushButton8(), Qt::LeftButton);
    QCOMPARE(folderStarts, QStringList{config.path()});
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

    // The row's menu: what does not apply to a failed row is greyed.
    app.list().select(1);
    QMenu *menu = window.contextMenu(true);
    QCOMPARE(entries(menu),
             (QStringList{QStringLiteral("[Open File]"), QStringLiteral("[Open Folder]"),
                          QStringLiteral("Copy Address"), QStringLiteral("Show Reason"),
                          QStringLiteral("Retry This Row"), QStringLiteral("Retry Failed Rows"),
                          QStringLiteral("Save Report\u2026"), QStringLiteral("Remove Done Rows"),
                          QStringLiteral("Start Over"), QStringLiteral("Options\u2026\tCtrl+,")}));
    entry(menu, QStringLiteral("Show Reason"))->trigger();
    QCOMPARE(informations.last(), app.list().rowReason(1));
    entry(menu, QStringLiteral("Copy Address"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), server.url(QStringLiteral("/gone")));
    const int goneHits = server.hits(QStringLiteral("/gone"));
    const qsizetype doneBoxes = informations.count(QStringLiteral("Done."));
    entry(menu, QStringLiteral("Retry This Row"))->trigger();
    QCOMPARE(informations.count(QStringLiteral("Done.")), doneBoxes + 1);
    QCOMPARE(server.hits(QStringLiteral("/gone")), goneHits + 1);
    delete menu;

    // A saved row's file and folder open with the desktop's program.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openLocalFile");
    app.list().select(2);
    menu = window.contextMenu(true);
    entry(menu, QStringLiteral("Open File"))->trigger();
    entry(menu, QStringLiteral("Open Folder"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    const QString saved = out.filePath(QStringLiteral("127.0.0.1 %1_page.txt").arg(server.port()));
    QCOMPARE(m_opened, (QStringList{saved, out.path()}));
    entry(menu, QStringLiteral("Save Report\u2026"))->trigger();
    QCOMPARE(reportStarts,
             QStringList{out.path() + QStringLiteral("|") + out.filePath(QStringLiteral("textorin-report.jsonl"))});
    QVERIFY(QFile::exists(report));
    // One record a row of the run, in the batch's format.
    for (const QByteArray &line : readTestFile(report).split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        const int row = record.value(QStringLiteral("row")).toInt();
        QCOMPARE(record.value(QStringLiteral("address")).toString(), app.list().text(row));
        QCOMPARE(record.value(QStringLiteral("outcome")).toString(),
                 QString::fromLatin1(row == 1 ? "failed" : "saved"));
    }
    entry(menu, QStringLiteral("Remove Done Rows"))->trigger();
    QCOMPARE(app.list().rows(), QStringList{server.url(QStringLiteral("/gone"))});
    delete menu;

    // A right-click on a row, or Shift+F10 at the current row, opens the row's menu.
    UrlListView *view = window.ListView1();
    const QPoint onRow = view->visualRect(app.list().index(0, 0)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onRow, view->viewport()->mapToGlobal(onRow));
    QApplication::sendEvent(view->viewport(), &click);
    auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(popup && entry(popup, QStringLiteral("Open File")));
    popup->close();
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(popup && entry(popup, QStringLiteral("Copy Address")));
    popup->close();
    // Below the rows: the list's menu alone.
    const QPoint below(4, view->viewport()->height() - 2);
    QContextMenuEvent empty(QContextMenuEvent::Mouse, below, view->viewport()->mapToGlobal(below));
    QApplication::sendEvent(view->viewport(), &empty);
    popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(popup && !entry(popup, QStringLiteral("Open File")) && entry(popup, QStringLiteral("Start Over")));
    popup->close();
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

void TestApplication::escapeEndsAPageThatNeverAnswersAtOnce()
{
    QTemporaryDir config;
    QTemporaryDir out;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    LocalHttpServer server;
    QVERIFY(server.listen());
    LocalHttpServer::Reply silent;
    silent.silent = true;
    server.route(QStringLiteral("/never"), silent);
    QStringList informations;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        informations << request.text + QLatin1Char(' ') + request.informative;
        return QString();
    });
    Application app([](const QString &) { return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1"); });
    app.start();
    MainWindow &window = app.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Text1()->setText(out.path());
    app.list().append(server.url(QStringLiteral("/never")));
    QElapsedTimer sinceEscape;
    QTimer escape;
    escape.setInterval(20);
    QObject::connect(&escape, &QTimer::timeout, &window, [&] {
        if (server.hits(QStringLiteral("/never")) == 0)
            return;
        escape.stop();
        QApplication::setActiveWindow(&window);
        sinceEscape.start();
        QTest::keyClick(window.Text1(), Qt::Key_Escape);
    });
    escape.start();
    QTest::mouseClick(window.PushButton2(), Qt::LeftButton);
    // The page's own limit is a minute; the stop ends it at once (a generous margin on a busy machine).
    QVERIFY(sinceEscape.isValid());
    QVERIFY2(sinceEscape.elapsed() < 3000, qPrintable(QString::number(sinceEscape.elapsed())));
    QCOMPARE(informations.last(), QStringLiteral("Done. 0 saved, 0 failed. Stopped after 0 of 1 rows."));
    QCOMPARE(app.list().rowState(1), UrlListModel::RowState::Stopped);
    QVERIFY(QDir(out.path()).entryList(QDir::Files).isEmpty());
    DialogStandIn::set({});
    app.browser().shutdown();
}

void TestApplication::secondStartShowsTheFirstWindow()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    DialogStandIn::set([](const DialogStandIn::Request &) { return QString(); });
    const auto online = [](const QString &) { return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1"); };
    const QString name = config.filePath(QStringLiteral("instance"));
    // A socket left by a crashed instance: nobody listens on it.
    {
        const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof address.sun_path);
        QCOMPARE(::bind(stale, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(stale);
    }
    Application first(online, name);
    QVERIFY(first.start());
    first.window().showMinimized();
    {
        Application second(online, name);
        QVERIFY(!second.start());
        QVERIFY(!second.window().isVisible());
    }
    QTRY_VERIFY(!(first.window().windowState() & Qt::WindowMinimized));
    // Without a name, windows do not look for each other.
    Application third(online);
    QVERIFY(third.start());
    DialogStandIn::set({});
}

QTEST_MAIN(TestApplication)
#include "tst_Application.moc"
