#include "support/OnlineCheck.h"

#include "support/CmdOutput.h"
#include "support/IMessageBoxes.h"

OnlineCheck::Probe OnlineCheck::probeFor(const QString &host)
{
    return {QStringLiteral("ping -c 1 -W 2 ") + host, QStringLiteral("bytes from")};
}

bool OnlineCheck::isOnline(const QString &output, const QString &marker)
{
    return !output.isEmpty() && output.contains(marker, Qt::CaseInsensitive);
}

void OnlineCheck::warnWhenOffline(IMessageBoxes &boxes, const CommandRunner &run)
{
    const Probe probe = probeFor(host());
    const QString output = run(probe.commandLine);
    if (!isOnline(output, probe.replyMarker))
        boxes.information(offlineWarning());
}

OnlineCheck::CommandRunner OnlineCheck::consoleRunner(IEventPump *pump)
{
    return [pump](const QString &commandLine) { return CaptureCommandOutput(commandLine, true, false, true, pump); };
}
