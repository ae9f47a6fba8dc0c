#include "engine/devtools/ProtocolHeaders.h"

#include <QJsonArray>

QString ProtocolHeaders::value(const QJsonObject &headers, QLatin1String name)
{
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value().toString();
    }
    return {};
}

QString ProtocolHeaders::ofPausedResponse(const QJsonObject &params, QLatin1String name)
{
    for (const QJsonValue &header : params.value(QStringLiteral("responseHeaders")).toArray()) {
        const QJsonObject entry = header.toObject();
        if (entry.value(QStringLiteral("name")).toString().compare(name, Qt::CaseInsensitive) == 0)
            return entry.value(QStringLiteral("value")).toString();
    }
    return {};
}
