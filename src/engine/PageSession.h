#pragma once

#include "engine/ContextCookies.h"
#include "engine/DevToolsConnection.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class ChromiumBrowser;

// The browser context, target and session of one page: opened when a row first
// needs them, reset between rows (the row's cookies and storage cleared, a blank
// page after a failed row) and recycled whole when the page hangs or crashes.
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
    // Open and reset: the next navigation may start.
    bool isReady() const { return m_state == State::Ready && m_resetPending == 0; }
    const QString &targetId() const { return m_targetId; }
    // Why no row can navigate here (the run's cookies could not be set), or empty.
    const QString &cookieFailure() const { return m_cookieFailure; }
    void send(const QString &method, const QJsonObject &params = {},
              DevToolsConnection::Reply reply = {});

    // A row navigates the page: what it leaves is cleared at the next reset.
    void markUsed();
    // Clears what the last row left; `blank` also replaces its document by a blank one.
    void reset(bool blank);
    // Ends the page with its context, renderer and all, and opens a new one.
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
    // Puts the run's cookies into the context, as a step of getting ready.
    void putCookies(quint64 epoch);
    void onEvent(const QString &method, const QJsonObject &params);
    void onPageEvent(const QString &method, const QJsonObject &params);
    void closeOpenedWindow(const QJsonObject &params);
    void noteOrigin(const QJsonObject &frame);
    // Why the renderer died: killed for its memory, or crashed (`detail`: " (status)").
    QString crashReason(const QString &detail);
    void lose(const QString &reason);
    void blankPageDone(quint64 epoch);
    void resetStepDone(quint64 epoch);

    ChromiumBrowser &m_browser;
    DevToolsConnection &m_connection;
    ContextCookies m_cookies;
    QString m_cookieFailure;
    State m_state = State::None;
    quint64 m_epoch = 0;
    QString m_contextId;
    QString m_targetId;
    QString m_sessionId;
    bool m_used = false;    // a row has navigated the page since its last reset
    int m_resetPending = 0; // replies the reset still waits for
    QSet<QString> m_rowOrigins;
    QString m_blankLoaderId; // the blank page a reset waits to load
    bool m_blankLoaded = false;
};
