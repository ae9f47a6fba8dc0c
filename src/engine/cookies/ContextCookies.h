#pragma once

#include "engine/BrowserCookie.h"

#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class CookieJar;
class DevToolsConnection;

// The cookies of one row's browser context: the run's cookies of the row's site
// put in before it navigates, and what the row set, changed or removed handed to
// the jar after it (before the context goes). The engine writes a
// domain cookie's domain with a leading dot and gives a session cookie expiry -1.
class ContextCookies : public QObject
{
    Q_OBJECT

public:
    ContextCookies(DevToolsConnection &connection, CookieJar &jar, QObject *parent = nullptr);

    // Puts the jar's starting cookies of `host`'s site, and those of `ruleCookies`,
    // into the context and reads them back as the engine holds them (expiry
    // capped, domain normalised); `done` gets the error, empty on success.
    // Without cookies `done` is called at once.
    void put(const QString &contextId, const QString &host, const QList<BrowserCookie> &ruleCookies,
             std::function<void(const QString &error)> done);
    // Reads the context's cookies and hands the row's changes to the jar; `then`
    // follows the reading.
    void collect(const QString &contextId, std::function<void()> then);

    static QJsonArray toProtocol(const QList<BrowserCookie> &cookies);
    static QList<BrowserCookie> fromProtocol(const QJsonArray &cookies);

private:
    DevToolsConnection &m_connection;
    CookieJar &m_jar;
    QList<BrowserCookie> m_atStart;
};
