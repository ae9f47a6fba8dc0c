#pragma once

#include "engine/devtools/DevToolsConnection.h"
#include "engine/devtools/DevToolsRouter.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

class ChromiumBrowser;

// One browser context with its page target and session, opened and made ready
// for a row with the browser's options (interception, identity, window size).
// Its events go to the handler it is given; replies that outlive it are dropped.
// It disposes of the context (renderer and all) when it goes.
class PageContext : public QObject
{
    Q_OBJECT

public:
    explicit PageContext(ChromiumBrowser &browser, QObject *parent = nullptr);
    ~PageContext() override;

    void open();
    bool isReady() const { return m_ready; }
    const QString &contextId() const { return m_contextId; }
    const QString &targetId() const { return m_targetId; }
    void setHandler(DevToolsRouter::Handler handler) { m_handler = std::move(handler); }
    // A command of the page's session.
    void send(const QString &method, const QJsonObject &params = {}, DevToolsConnection::Reply reply = {});
    // Stops the page's scripts and its events: the context only waits to be disposed of.
    void retire();

Q_SIGNALS:
    void ready();

private:
    // One command of opening; `next` gets the named result.
    void openStep(const QString &method, const QJsonObject &params, const QString &resultKey,
                  std::function<void(const QString &)> next);
    void addRoute(const QString &id);
    void removeRoutes();
    void enablePage();
    DevToolsConnection::Reply whileAlive(DevToolsConnection::Reply reply);

    ChromiumBrowser &m_browser;
    DevToolsConnection &m_connection;
    DevToolsRouter::Handler m_handler;
    QString m_contextId;
    QString m_targetId;
    QString m_sessionId;
    bool m_opening = false;
    bool m_ready = false;
};
