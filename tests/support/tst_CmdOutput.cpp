#include "fakes/CountingEventPump.h"
#include "fakes/FakeMessageBoxes.h"
#include "support/CmdOutput.h"
#include "support/OnlineCheck.h"
#include "support/RuntimeError.h"

#include <QtTest>

class TestCmdOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void capturesTheChosenStreams();
    void neitherStreamIsAnInvalidArgument();
    void missingProgramGivesTheFailureText();
    void longOutputIsJoinedInOrder();
    void multiByteCharactersSurviveReadBoundaries();
    void eventsAreServedWhileTheChildRuns();
    void onlineCheckWarnsOnlyWithoutAReply();
    void probesPerPlatform();
};

void TestCmdOutput::capturesTheChosenStreams()
{
    const QString both = QStringLiteral("sh -c \"echo out; echo err >&2\"");
    QCOMPARE(CaptureCommandOutput(both), QStringLiteral("out\n"));
    QCOMPARE(CaptureCommandOutput(both, false, true), QStringLiteral("err\n"));
    const QString merged = CaptureCommandOutput(both, true, true);
    QVERIFY(merged.contains(QStringLiteral("out\n")));
    QVERIFY(merged.contains(QStringLiteral("err\n")));
    QCOMPARE(merged.size(), 8);
    // Standard input is closed: a child that reads it ends at once.
    QCOMPARE(CaptureCommandOutput(QStringLiteral("sh -c \"cat; echo end\"")), QStringLiteral("end\n"));
}

void TestCmdOutput::neitherStreamIsAnInvalidArgument()
{
    try {
        CaptureCommandOutput(QStringLiteral("echo x"), false, false);
        QFAIL("no error raised");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), 5);
    }
}

void TestCmdOutput::missingProgramGivesTheFailureText()
{
    QCOMPARE(CaptureCommandOutput(QStringLiteral("/nonexistent/program -x")),
             QStringLiteral("Failed to create process, check the path of the command line."));
    QCOMPARE(CaptureCommandOutput(QString()), CreateProcessFailedText);
}

void TestCmdOutput::longOutputIsJoinedInOrder()
{
    const QString output = CaptureCommandOutput(QStringLiteral("seq 1 20000"));
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 20000);
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(lines.at(i).toInt(), i + 1);
}

void TestCmdOutput::multiByteCharactersSurviveReadBoundaries()
{
    // 1023 ASCII bytes put the first "é" across the first 1024-byte read.
    const QString output = CaptureCommandOutput(
        QStringLiteral("sh -c \"printf %01023d 0 | tr 0 a; printf 'éé€'\""));
    QCOMPARE(output, QString(1023, QLatin1Char('a')) + QStringLiteral("éé€"));
}

void TestCmdOutput::eventsAreServedWhileTheChildRuns()
{
    CountingEventPump pump;
    CaptureCommandOutput(QStringLiteral("sleep 0.3"), true, false, true, &pump);
    QVERIFY(pump.pending >= 3);
}

void TestCmdOutput::onlineCheckWarnsOnlyWithoutAReply()
{
    QStringList commands;
    auto answer = [&](const QString &output) {
        return [&commands, output](const QString &commandLine) {
            commands << commandLine;
            return output;
        };
    };
    FakeMessageBoxes online;
    OnlineCheck::CheckOnline(online, answer(QStringLiteral("64 Bytes From 1.2.3.4: icmp_seq=1")));
    QVERIFY(online.boxes.isEmpty());
    QCOMPARE(commands.first(), QStringLiteral("ping -c 1 -W 2 www.yahoo.com"));

    for (const QString &output : {QStringLiteral("ping: unknown host"), QString(), CreateProcessFailedText}) {
        FakeMessageBoxes offline;
        OnlineCheck::CheckOnline(offline, answer(output));
        QCOMPARE(offline.informations(), QStringList{QStringLiteral("You must be online to use this software accurately.")});
        QCOMPARE(offline.boxes.first().caption, QStringLiteral("Textorin"));
    }
}

void TestCmdOutput::probesPerPlatform()
{
    const OnlineCheck::Probe windows = OnlineCheck::windowsProbe(QStringLiteral("h"));
    QCOMPARE(windows.commandLine, QStringLiteral("ping h -n 1"));
    QVERIFY(OnlineCheck::isOnline(QStringLiteral("Reply from h: Bytes=32"), windows.replyMarker));
    QVERIFY(!OnlineCheck::isOnline(QStringLiteral("Request timed out."), windows.replyMarker));
}

QTEST_GUILESS_MAIN(TestCmdOutput)
#include "tst_CmdOutput.moc"
