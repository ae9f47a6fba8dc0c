#include "engine/devtools/DevToolsRouter.h"

#include "engine/devtools/DevToolsConnection.h"

#include <QStringList>

namespace {

// The ids a browser-level event names, most particular first.
QStringList routeIds(const QJsonObject &params)
{
    const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
    return {params.value(QStringLiteral("sessionId")).toString(), params.value(QStringLiteral("targetId")).toString(),
            params.value(QStringLiteral("frameId")).toString(), info.value(QStringLiteral("openerId")).toString(),
            info.value(QStringLiteral("browserContextId")).toString()};
}

} // namespace

DevToolsRouter::DevToolsRouter(DevToolsConnection &connection, QObject *parent) : QObject(parent)
{
    connect(&connection, &DevToolsConnection::event, this, &DevToolsRouter::route);
}

void DevToolsRouter::add(const QString &id, Handler handler)
{
    if (!id.isEmpty())
        m_routes.insert(id, std::move(handler));
}

void DevToolsRouter::remove(const QString &id)
{
    m_routes.remove(id);
}

void DevToolsRouter::route(const QString &method, const QJsonObject &params, const QString &sessionId)
{
    Handler handler;
    if (!sessionId.isEmpty()) {
        handler = m_routes.value(sessionId);
    } else {
        for (const QString &id : routeIds(params)) {
            if (!id.isEmpty() && m_routes.contains(id)) {
                handler = m_routes.value(id);
                break;
            }
        }
    }
    // A copy: the handler may change the routes.
    if (handler)
        handler(method, params);
}
