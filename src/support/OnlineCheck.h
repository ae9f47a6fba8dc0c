#pragma once

#include <QString>

#include <functional>

class IEventPump;
class IMessageBoxes;

// Pings a well-known host once and warns when no reply comes back.
class OnlineCheck
{
public:
    struct Probe {
        QString commandLine;
        QString replyMarker;
    };
    using CommandRunner = std::function<QString(const QString &commandLine)>;

    // The ping command and its reply marker on the platform at hand.
    static Probe probeFor(const QString &host);
    static Probe linuxProbe(const QString &host);
    static Probe windowsProbe(const QString &host);
    static QString host();
    static bool isOnline(const QString &output, const QString &marker);

    // `CheckOnline`: shows the offline warning when the captured output lacks a reply.
    static void CheckOnline(IMessageBoxes &boxes, const CommandRunner &run);
    // Runs the probe through the console capture, serving events meanwhile.
    static CommandRunner consoleRunner(IEventPump *pump);

    static QString offlineWarning()
    {
        return QStringLiteral("You must be online to use this software accurately.");
    }
};
