#include "support/CmdOutput.h"

#include "support/IEventPump.h"
#include "support/RuntimeError.h"

#include <QByteArray>
#include <QProcess>

namespace {

constexpr int ReadChunkSize = 1024;
constexpr int ReadWaitMs = 25;

void chooseChannels(QProcess &process, bool standardOutput, bool standardError)
{
    process.setStandardInputFile(QProcess::nullDevice());
    if (standardOutput && standardError) {
        process.setProcessChannelMode(QProcess::MergedChannels);
    } else if (standardOutput) {
        process.setStandardErrorFile(QProcess::nullDevice());
    } else {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setReadChannel(QProcess::StandardError);
    }
}

} // namespace

QString CaptureCommandOutput(const QString &commandLine, bool captureStandardOutput, bool captureStandardError,
                             bool convertFromConsole, IEventPump *pump)
{
    Q_UNUSED(convertFromConsole) // console and narrow code pages are both UTF-8 here
    if (!captureStandardOutput && !captureStandardError)
        throw RuntimeError::invalidArgument();

    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return CreateProcessFailedText;
    const QString program = arguments.takeFirst();

    QProcess process;
    chooseChannels(process, captureStandardOutput, captureStandardError);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return CreateProcessFailedText;

    // Bytes are joined before decoding, so a character split across two reads stays whole.
    QByteArray output;
    for (;;) {
        if (pump)
            pump->processPendingEvents();
        const bool more = process.waitForReadyRead(ReadWaitMs);
        while (process.bytesAvailable() > 0)
            output += process.read(ReadChunkSize);
        if (!more && process.state() == QProcess::NotRunning)
            break;
    }
    process.waitForFinished(-1); // reap the child
    output += process.readAll();
    return QString::fromUtf8(output);
}
