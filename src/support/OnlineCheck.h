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

    // The ping command and its reply marker.
    static Probe probeFor(const QString &host);
    // The host pinged: the second sample site's.
    static QString host() { return QStringLiteral("www.yahoo.com"); }
    static bool isOnline(const QString &output, const QString &marker);

    // Shows the offline warning when the captured output lacks a reply.
    static void warnWhenOffline(IMessageBoxes &boxes, const CommandRunner &run);
    // Runs the probe through the console capture, serving events meanwhile.
    static CommandRunner consoleRunner(IEventPump *pump);

    static QString offlineWarning() { return QStringLiteral("You must be online to use this software accurately."); }
};
