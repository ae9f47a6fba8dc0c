#include "fakes/LocalHttpServer.h"
#include "fakes/TestFiles.h"
#include "platform/Application.h"
#include "platform/CaptionProgressBar.h"
#include "platform/DialogStandIn.h"
#include "platform/UrlListView.h"
#include "support/SettingsStore.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The real window with its real services; only the console and the dialogs'
// answers stand in for the machine and the user.
class TestApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyControlReachesItsOperation();
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

    // Escape, wherever the focus is, stops a run after its current row.
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
    QCOMPARE(informations.last(), QStringLiteral("2 saved, 0 failed. Stopped after 2 of 3 rows."));
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
