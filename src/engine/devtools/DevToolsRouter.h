#pragma once

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

class DevToolsConnection;

// Hands each event of the connection to the one page it belongs to: a session's
// events by their session id, the browser's events about a target by the
// target, frame, opener or browser context they name. Events of no route are dropped.
class DevToolsRouter : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const QString &method, const QJsonObject &params)>;

    explicit DevToolsRouter(DevToolsConnection &connection, QObject *parent = nullptr);

    // Events naming `id` (a session, target or browser context id) go to `handler`.
    void add(const QString &id, Handler handler);
    void remove(const QString &id);
    void clear() { m_routes.clear(); }

    void route(const QString &method, const QJsonObject &params, const QString &sessionId);

private:
    QHash<QString, Handler> m_routes;
};
