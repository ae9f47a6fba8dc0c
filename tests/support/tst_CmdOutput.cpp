#include "fakes/CountingEventPump.h"
#include "fakes/TestFiles.h"
#include "support/CmdOutput.h"
#include "support/RuntimeError.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QString shell(const QString &script)
{
    return QStringLiteral("sh -c \"%1\"").arg(script);
}

} // namespace

class TestCmdOutput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void capturesTheChosenStreams();
    void neitherStreamRaisesErrorFive();
    void missingProgramGivesTheFixedText();
    void argumentsAreSplitLikeAShell();
    void longOutputIsJoinedInOrder();
    void multiByteCharactersAcrossAReadBoundaryStayWhole();
    void servesTheUserInterfaceWhileTheChildRuns();
    void standardInputIsClosed();
};

void TestCmdOutput::capturesTheChosenStreams()
{
    const QString both = shell(QStringLiteral("echo out; echo err 1>&2"));
    QCOMPARE(CaptureCommandOutput(both), QStringLiteral("out\n"));
    QCOMPARE(CaptureCommandOutput(both, false, true), QStringLiteral("err\n"));
    const QString merged = CaptureCommandOutput(both, true, true);
    QVERIFY2(merged.contains(QStringLiteral("out\n")) && merged.contains(QStringLiteral("err\n")), qPrintable(merged));
    QCOMPARE(merged.size(), 8);
    QCOMPARE(CaptureCommandOutput(shell(QStringLiteral("true"))), QString());
    // The conversion option changes nothing where both code pages are UTF-8.
    QCOMPARE(CaptureCommandOutput(shell(QStringLiteral("printf 'ä'")), true, false, false), QStringLiteral("ä"));
}

void TestCmdOutput::neitherStreamRaisesErrorFive()
{
    bool raised = false;
    try {
        CaptureCommandOutput(QStringLiteral("/no/such/program"), false, false);
    } catch (const RuntimeError &error) {
        raised = true;
        QCOMPARE(error.number(), 5);
    }
    QVERIFY(raised);
}

void TestCmdOutput::missingProgramGivesTheFixedText()
{
    const QString expected = QStringLiteral("Failed to create process, check the path of the command line.");
    QCOMPARE(CaptureCommandOutput(QStringLiteral("/no/such/program -n 1")), expected);
    QCOMPARE(CaptureCommandOutput(QStringLiteral("textorin-no-such-command")), expected);
    QCOMPARE(CaptureCommandOutput(QString()), expected);
    QCOMPARE(CaptureCommandOutput(QStringLiteral("/no/such/program"), false, true), expected);
}

void TestCmdOutput::argumentsAreSplitLikeAShell()
{
    QCOMPARE(CaptureCommandOutput(QStringLiteral("printf \"%s|\" one \"two words\" three")),
             QStringLiteral("one|two words|three|"));
}

void TestCmdOutput::longOutputIsJoinedInOrder()
{
    // 20,000 numbered lines in bursts, far more than one 1,024-byte read.
    const QString output =
        CaptureCommandOutput(shell(QStringLiteral("i=0; while [ $i -lt 20000 ]; do echo line$i; i=$((i+1)); done")));
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 20000);
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i) != QStringLiteral("line%1").arg(i))
            QFAIL(qPrintable(QStringLiteral("line %1 reads %2").arg(i).arg(lines.at(i))));
    }
}

void TestCmdOutput::multiByteCharactersAcrossAReadBoundaryStayWhole()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // One ASCII byte first, so every two-byte letter straddles the 1,024-byte chunks.
    const QString text = QStringLiteral("x") + QString(3000, QChar(0x00E9)) + QString(500, QChar(0x2500));
    const QString path = dir.filePath(QStringLiteral("chars.txt"));
    QVERIFY(writeTestFile(path, text.toUtf8()));
    QCOMPARE(CaptureCommandOutput(QStringLiteral("cat ") + path), text);
}

void TestCmdOutput::servesTheUserInterfaceWhileTheChildRuns()
{
    CountingEventPump pump;
    QStringList seen;
    pump.onPass = [&] { seen << QStringLiteral("pass"); };
    const QString output =
        CaptureCommandOutput(shell(QStringLiteral("echo a; sleep 0.6; echo b")), true, false, true, &pump);
    QCOMPARE(output, QStringLiteral("a\nb\n"));
    QVERIFY2(pump.pending >= 5, qPrintable(QString::number(pump.pending)));
}

void TestCmdOutput::standardInputIsClosed()
{
    // A child that reads its input ends at once instead of waiting for a user.
    QCOMPARE(CaptureCommandOutput(shell(QStringLiteral("cat; echo done"))), QStringLiteral("done\n"));
}

QTEST_GUILESS_MAIN(TestCmdOutput)
#include "tst_CmdOutput.moc"
