#pragma once

#include <QJsonObject>
#include <QString>

// The HTTP headers the DevTools protocol hands over, looked up whatever the
// case of their names.
class ProtocolHeaders
{
public:
    // A header of a name-to-value object (Network events, a request's headers);
    // null when absent.
    static QString value(const QJsonObject &headers, QLatin1String name);
    // A header of a response paused by Fetch (its `responseHeaders` list); null when absent.
    static QString ofPausedResponse(const QJsonObject &params, QLatin1String name);
};
