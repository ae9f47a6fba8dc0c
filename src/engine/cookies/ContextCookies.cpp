#include "engine/cookies/ContextCookies.h"

#include "engine/cookies/CookieJar.h"
#include "engine/devtools/DevToolsConnection.h"

#include <QJsonObject>
#include <QPointer>

#include <cmath>

namespace {

const QString ContextKey = QStringLiteral("browserContextId");

} // namespace

ContextCookies::ContextCookies(DevToolsConnection &connection, CookieJar &jar, QObject *parent)
    : QObject(parent), m_connection(connection), m_jar(jar)
{}

void ContextCookies::put(const QString &contextId, const QString &host, const QList<BrowserCookie> &ruleCookies,
                         std::function<void(const QString &)> done)
{
    m_atStart.clear();
    // A rule's cookies go after the run's, so that one of the same name wins.
    const QList<BrowserCookie> cookies =
        m_jar.startFor(host) + (ruleCookies.isEmpty() ? QList<BrowserCookie>() : CookieJar(ruleCookies).startFor(host));
    if (cookies.isEmpty()) {
        done({});
        return;
    }
    auto failure = std::make_shared<QString>();
    m_connection.send(QStringLiteral("Storage.setCookies"),
                      {{ContextKey, contextId}, {QStringLiteral("cookies"), toProtocol(cookies)}}, {},
                      [failure](const QJsonObject &, const QString &error) {
                          if (!error.isEmpty())
                              *failure = QStringLiteral("the cookies could not be set (%1)").arg(error);
                      });
    // Commands are answered in order: this reads what the one before set.
    m_connection.send(
        QStringLiteral("Storage.getCookies"), {{ContextKey, contextId}}, {},
        [alive = QPointer<ContextCookies>(this), failure, done](const QJsonObject &result, const QString &) {
            if (!alive)
                return;
            alive->m_atStart = fromProtocol(result.value(QStringLiteral("cookies")).toArray());
            done(*failure);
        });
}

void ContextCookies::collect(const QString &contextId, std::function<void()> then)
{
    // The jar outlives every reply of its browser's connection.
    m_jar.expectRow();
    m_connection.send(QStringLiteral("Storage.getCookies"), {{ContextKey, contextId}}, {},
                      [jar = &m_jar, atStart = m_atStart, then](const QJsonObject &result, const QString &error) {
                          if (error.isEmpty())
                              jar->takeRow(atStart, fromProtocol(result.value(QStringLiteral("cookies")).toArray()));
                          else
                              jar->dropRow();
                          then();
                      });
}

QJsonArray ContextCookies::toProtocol(const QList<BrowserCookie> &cookies)
{
    QJsonArray result;
    for (const BrowserCookie &cookie : cookies) {
        QJsonObject item{{QStringLiteral("name"), cookie.name},     {QStringLiteral("value"), cookie.value},
                         {QStringLiteral("domain"), cookie.domain}, {QStringLiteral("path"), cookie.path},
                         {QStringLiteral("secure"), cookie.secure}, {QStringLiteral("httpOnly"), cookie.httpOnly}};
        if (cookie.expires > 0)
            item.insert(QStringLiteral("expires"), double(cookie.expires));
        result.append(item);
    }
    return result;
}

QList<BrowserCookie> ContextCookies::fromProtocol(const QJsonArray &cookies)
{
    QList<BrowserCookie> result;
    for (const QJsonValue &value : cookies) {
        const QJsonObject item = value.toObject();
        BrowserCookie cookie;
        cookie.name = item.value(QStringLiteral("name")).toString();
        cookie.value = item.value(QStringLiteral("value")).toString();
        cookie.domain = item.value(QStringLiteral("domain")).toString();
        cookie.path = item.value(QStringLiteral("path")).toString();
        cookie.secure = item.value(QStringLiteral("secure")).toBool();
        cookie.httpOnly = item.value(QStringLiteral("httpOnly")).toBool();
        const double expires = item.value(QStringLiteral("expires")).toDouble(-1);
        if (!item.value(QStringLiteral("session")).toBool() && expires > 0)
            cookie.expires = qint64(std::floor(expires));
        result.append(cookie);
    }
    return result;
}
