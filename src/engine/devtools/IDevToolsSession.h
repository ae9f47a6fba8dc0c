#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>

// A page's DevTools session as its parts see it: commands of the row's page, and
// one table of who hears which event. Each part registers the methods it handles
// when it is made; an event nobody registered goes nowhere. A reply arriving after
// the row that sent its command ended, or after the page's context was replaced,
// is dropped before it reaches its callback.
class IDevToolsSession
{
public:
    // `error` is empty on success.
    using Reply = std::function<void(const QJsonObject &result, const QString &error)>;
    using Handler = std::function<void(const QJsonObject &params)>;

    virtual ~IDevToolsSession() = default;

    virtual void send(const QString &method, const QJsonObject &params = {}, Reply reply = {}) = 0;
    // Events `method` of the page go to `handler`, after the handlers registered before it.
    virtual void on(const QString &method, Handler handler) = 0;
};
