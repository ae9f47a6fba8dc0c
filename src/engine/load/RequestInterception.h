#pragma once

#include "engine/EngineOptions.h"
#include "engine/IPage.h"
#include "engine/PageValidators.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class IDevToolsSession;
class QUrl;

// The page's one Fetch interception, which pauses only the requests its options
// need: it refuses the blocked resource types and the favicon, adds the extra
// headers to requests for the row's own origin (scheme, host and port of the
// address as listed; a redirect elsewhere does not take them), answers HTTP
// authentication for that origin and for the proxy (each request once), asks the
// redirect check, when there is one, before the main document follows a
// redirect, sends the row's validators with its main document's requests to
// its own origin (with conditional loads) and ends the row's main document at a
// 304 they earn, and hands it on at any other response. Every request it pauses
// is answered, between rows too.
class RequestInterception : public QObject
{
    Q_OBJECT

public:
    RequestInterception(IDevToolsSession &session, const EngineOptions &options, QObject *parent = nullptr);

    // The parameters of the one Fetch.enable of a page session with these options.
    static QJsonObject enableParams(const EngineOptions &options);

    // A row navigates main frame `frameId` to `address`, whose origin is the row's
    // own, its main document asked for only if it changed since `validators`.
    void begin(const QString &address, const QString &frameId, const PageValidators &validators = {});
    // The row ended: nothing is the row's own any more.
    void end();
    // The origins whose authentication challenges the row's credentials were
    // withheld from, since they are not the row's own.
    const QStringList &withheldFrom() const { return m_withheldFrom; }
    void setRedirectCheck(IPage::RedirectCheck check) { m_redirectCheck = std::move(check); }

Q_SIGNALS:
    // The row's main document is paused at its response head: the receiver must answer it.
    void mainDocumentResponse(const QJsonObject &params);
    // The redirect check refused where the row's main document was redirected to;
    // the request is ended.
    void redirectRefused(const QString &reason);
    // The row's main document at `url` was answered 304 to its validators, with
    // these validators of its own; the request is ended.
    void notModified(const QString &url, const PageValidators &answered);

private:
    void onPaused(const QJsonObject &params);
    void onRequest(const QString &requestId, const QJsonObject &params);
    void onResponse(const QString &requestId, const QJsonObject &params);
    void onAuthRequired(const QJsonObject &params);
    bool checkRedirect(const QString &requestId, const QJsonObject &params);
    bool takeNotModified(const QString &requestId, const QJsonObject &params);
    QList<std::pair<QString, QString>> extraHeaders(const QString &requestId, const QJsonObject &params);
    bool isMainDocument(const QJsonObject &params) const;
    bool isOwnOrigin(const QUrl &url) const;

    IDevToolsSession &m_session;
    const EngineOptions &m_options;
    QString m_frameId; // the row's main frame; empty between rows
    QString m_ownOrigin; // of the row's address: nothing else gets its headers or credentials
    QSet<QString> m_authAnswered; // requests given credentials
    QStringList m_withheldFrom;
    PageValidators m_validators; // until the row's main document is answered
    QSet<QString> m_validated; // requests sent with the validators
    IPage::RedirectCheck m_redirectCheck;
    quint64 m_rows = 0; // rows begun: a late answer to an earlier row's check ends its request
};
