#include "app/ListCrawl.h"
#include "fakes/LocalHttpServer.h"
#include "fakes/TestFiles.h"
#include "platform/Application.h"
#include "platform/DialogStandIn.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// Following links and telling what changed, in the real window.
class TestWindowCrawl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void foundPagesJoinTheListAndARunAgainTellsWhatChanged();
};

void TestWindowCrawl::foundPagesJoinTheListAndARunAgainTellsWhatChanged()
{
    QTemporaryDir config;
    QTemporaryDir out;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    LocalHttpServer server;
    QVERIFY(server.listen());
    server.page("/",
                "<html><body><p>home</p><a href=/a>a</a> <a href=/b>b</a>"
                " <a href=http://elsewhere.invalid/x>away</a></body></html>");
    server.page("/a", "<html><body><p>page a</p><a href=/>home</a></body></html>");
    server.page("/b", "<html><body><p>page b, first</p></body></html>");
    QStringList boxes;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        boxes << request.text + QLatin1Char(' ') + request.informative;
        return QString();
    });
    SettingsStore settings;
    settings.write(SettingsKeys::FollowLinks, QStringLiteral("1"));
    settings.write(SettingsKeys::TrackChanges, QStringLiteral("1"));
    settings.write(SettingsKeys::WriteDiffs, QStringLiteral("1"));
    settings.write(SettingsKeys::Wait, QStringLiteral("0"));
    Application app([](const QString &) { return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1"); });
    app.start();
    UrlListModel &list = app.list();
    list.append(server.url(QStringLiteral("/")));
    app.window().Text1()->setText(out.path());

    // The pages found join the list, each with its state; the other host's is not followed.
    QTest::mouseClick(app.window().PushButton2(), Qt::LeftButton);
    QCOMPARE(boxes.last(), QStringLiteral("Done. 3 saved, 0 failed."));
    QCOMPARE(list.rows(),
             (QStringList{server.url(QStringLiteral("/")), server.url(QStringLiteral("/a")),
                          server.url(QStringLiteral("/b"))}));
    for (int row = 1; row <= 3; ++row) {
        QCOMPARE(list.rowState(row), UrlListModel::RowState::Saved);
        QCOMPARE(list.rowChange(row), QStringLiteral("new"));
    }
    QVERIFY(QFile::exists(QDir(out.path()).filePath(ListCrawl::StateName)));

    // The next run loads every page again and tells which changed; a changed page gets its diff.
    server.page("/b", "<html><body><p>page b, second</p></body></html>");
    QTest::mouseClick(app.window().PushButton2(), Qt::LeftButton);
    QCOMPARE(boxes.last(), QStringLiteral("Done. 3 saved, 0 failed."));
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.rowChange(1), QStringLiteral("same"));
    QCOMPARE(list.rowChange(3), QStringLiteral("changed"));
    QVERIFY2(list.rowReason(3).endsWith(QLatin1String("(changed)")), qPrintable(list.rowReason(3)));
    const QString file = list.rowFile(3);
    QCOMPARE(readTestFile(file), QByteArray("page b, second"));
    QVERIFY(readTestFile(file + QStringLiteral(".diff")).contains("+page b, second"));
    // The row's reason shows the diff.
    list.select(3);
    app.logic().mnuShowReason_Click();
    QVERIFY2(boxes.last().contains(QLatin1String("(changed)"))
                 && boxes.last().contains(QLatin1String("+page b, second")),
             qPrintable(boxes.last()));
    DialogStandIn::set({});
    app.browser().shutdown();
}

QTEST_MAIN(TestWindowCrawl)
#include "tst_WindowCrawl.moc"
