#include "fakes/FakeMessageBoxes.h"
#include "support/CmdOutput.h"
#include "support/OnlineCheck.h"

#include <QtTest>

class TestOnlineCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pingsTheSecondSampleHostOnce();
    void probePingsTheSampleHost();
    void replyMeansOnline_data();
    void replyMeansOnline();
    void noReplyOrEmptyOutputWarnsOnce();
    void consoleRunnerRunsTheCommandLine();
};

void TestOnlineCheck::pingsTheSecondSampleHostOnce()
{
    FakeMessageBoxes boxes;
    QStringList commands;
    OnlineCheck::warnWhenOffline(boxes, [&](const QString &command) {
        commands << command;
        return QStringLiteral("64 bytes from 1.2.3.4: icmp_seq=1 ttl=55 time=9.1 ms\n");
    });
    QCOMPARE(commands, QStringList{QStringLiteral("ping -c 1 -W 2 www.yahoo.com")});
    QVERIFY(boxes.boxes.isEmpty());
}

void TestOnlineCheck::probePingsTheSampleHost()
{
    const OnlineCheck::Probe probe = OnlineCheck::probeFor(QStringLiteral("h.example"));
    QCOMPARE(probe.commandLine, QStringLiteral("ping -c 1 -W 2 h.example"));
    QCOMPARE(probe.replyMarker, QStringLiteral("bytes from"));
    QCOMPARE(OnlineCheck::host(), QStringLiteral("www.yahoo.com"));
}

void TestOnlineCheck::replyMeansOnline_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<bool>("online");
    QTest::newRow("linux reply") << "64 bytes from x: icmp_seq=1"
                                 << "bytes from" << true;
    QTest::newRow("capitalised") << "64 Bytes From x"
                                 << "bytes from" << true;
    QTest::newRow("windows reply") << "Reply from 1.2.3.4: bytes=32 time=9ms"
                                   << "bytes=" << true;
    QTest::newRow("windows localised") << "Antwort von 1.2.3.4: Bytes=32"
                                       << "bytes=" << true;
    QTest::newRow("timeout") << "1 packets transmitted, 0 received, 100% packet loss"
                             << "bytes from" << false;
    QTest::newRow("unknown host") << "ping: x: Name or service not known"
                                  << "bytes from" << false;
    QTest::newRow("process failed") << CreateProcessFailedText << "bytes from" << false;
    QTest::newRow("empty") << ""
                           << "bytes from" << false;
}

void TestOnlineCheck::replyMeansOnline()
{
    QFETCH(QString, output);
    QFETCH(QString, marker);
    QFETCH(bool, online);
    QCOMPARE(OnlineCheck::isOnline(output, marker), online);
}

void TestOnlineCheck::noReplyOrEmptyOutputWarnsOnce()
{
    for (const QString &output : {QStringLiteral("100% packet loss"), QString()}) {
        FakeMessageBoxes boxes;
        OnlineCheck::warnWhenOffline(boxes, [&](const QString &) { return output; });
        QCOMPARE(boxes.informations(),
                 QStringList{QStringLiteral("You must be online to use this software accurately.")});
        QCOMPARE(boxes.boxes.size(), 1);
    }
}

void TestOnlineCheck::consoleRunnerRunsTheCommandLine()
{
    // A local command stands in for ping: the runner captures standard output only.
    const OnlineCheck::CommandRunner run = OnlineCheck::consoleRunner(nullptr);
    QCOMPARE(run(QStringLiteral("sh -c \"echo 64 bytes from here; echo noise 1>&2\"")),
             QStringLiteral("64 bytes from here\n"));
}

QTEST_GUILESS_MAIN(TestOnlineCheck)
#include "tst_OnlineCheck.moc"
