#pragma once

#include "engine/ContextCookies.h"
#include "engine/DevToolsConnection.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

class ChromiumBrowser;

// The browser context, target and session of one page: opened when a row first
// needs them and replaced whole after every row, so that no row meets what
// another left in its context (cookies, storage, the HTTP and authentication
// caches, HSTS, certificate decisions, permissions, service workers, sockets).
// The page's events reach it through the browser's router; it answers dialogs
// and closes the windows the page opens itself, and passes the rest on.
class PageSession : public QObject
{
    Q_OBJECT

public:
    explicit PageSession(ChromiumBrowser &browser, QObject *parent = nullptr);
    ~PageSession() override;

    // Opens the page unless it is open or opening.
    void open();
    // Open and unused: the next navigation may start.
    bool isReady() const { return m_state == State::Ready && !m_used; }
    const QString &targetId() const { return m_targetId; }
    void send(const QString &method, const QJsonObject &params = {},
              DevToolsConnection::Reply reply = {});

    // A row is about to navigate to `host`: its site's cookies go into the
    // context; `done` gets why they could not, or empty. Not called once the page is gone.
    void startRow(const QString &host, std::function<void(const QString &error)> done);
    // The row ended: the page is recycled if a row started in it.
    void endRow();
    // Ends the page with its context, renderer and all (after reading what its
    // row did to the cookies), and opens a new one.
    void recycle();
    // Forgets the page (the browser stopped).
    void drop();

Q_SIGNALS:
    // The page is ready for the next navigation.
    void ready();
    // An event of the page's session that the session does not handle itself.
    void eventReceived(const QString &method, const QJsonObject &params);
    void downloadStarted();
    // The page crashed or was closed; a new one is being opened.
    void lost(const QString &reason);

private:
    enum class State { None, Opening, Ready };

    // One command of opening the page; `next` gets the named result.
    void openStep(quint64 epoch, const QString &method, const QJsonObject &params,
                  const QString &resultKey, std::function<void(const QString &)> next);
    // The reply, dropped once the page is gone (the browser may outlive it).
    DevToolsConnection::Reply whileAlive(DevToolsConnection::Reply reply);
    void addRoute(const QString &id);
    void enablePage();
    // The user agent, client hints and language every row of the page says.
    void sayIdentity();
    void onEvent(const QString &method, const QJsonObject &params);
    void onPageEvent(const QString &method, const QJsonObject &params);
    void closeOpenedWindow(const QJsonObject &params);
    // Why the renderer died: killed for its memory, or crashed (`detail`: " (status)").
    QString crashReason(const QString &detail);
    void lose(const QString &reason);

    ChromiumBrowser &m_browser;
    DevToolsConnection &m_connection;
    ContextCookies m_cookies;
    State m_state = State::None;
    quint64 m_epoch = 0;
    QString m_contextId;
    QString m_targetId;
    QString m_sessionId;
    bool m_used = false; // a row has started in the page's context
};
