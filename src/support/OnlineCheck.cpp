#include "support/OnlineCheck.h"

#include "support/CmdOutput.h"
#include "support/IMessageBoxes.h"
#include "urllist/SampleSites.h"

OnlineCheck::Probe OnlineCheck::linuxProbe(const QString &host)
{
    return {QStringLiteral("ping -c 1 -W 2 ") + host, QStringLiteral("bytes from")};
}

OnlineCheck::Probe OnlineCheck::windowsProbe(const QString &host)
{
    return {QStringLiteral("ping ") + host + QStringLiteral(" -n 1"), QStringLiteral("bytes=")};
}

OnlineCheck::Probe OnlineCheck::probeFor(const QString &host)
{
#ifdef Q_OS_WIN
    return windowsProbe(host);
#else
    return linuxProbe(host);
#endif
}

QString OnlineCheck::host()
{
    return SampleSites::SecondHost;
}

bool OnlineCheck::isOnline(const QString &output, const QString &marker)
{
    return !output.isEmpty() && output.contains(marker, Qt::CaseInsensitive);
}

void OnlineCheck::CheckOnline(IMessageBoxes &boxes, const CommandRunner &run)
{
    const Probe probe = probeFor(host());
    const QString output = run(probe.commandLine);
    if (!isOnline(output, probe.replyMarker))
        boxes.information(offlineWarning());
}

OnlineCheck::CommandRunner OnlineCheck::consoleRunner(IEventPump *pump)
{
    return [pump](const QString &commandLine) {
        return CaptureCommandOutput(commandLine, true, false, true, pump);
    };
}
