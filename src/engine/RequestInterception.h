#pragma once

#include "engine/EngineOptions.h"
#include "engine/IPage.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>

class PageSession;
class QUrl;

// The page's one Fetch interception, which pauses only the requests its options
// need: it refuses the blocked resource types and the favicon, adds the extra
// headers to requests for the row's own origins, answers HTTP authentication
// for the row's own host and for the proxy (each request once), asks the
// redirect check, when there is one, before the main document follows a
// redirect, and hands the row's main document on at its response. Every request
// it pauses is answered, between rows too.
class RequestInterception : public QObject
{
    Q_OBJECT

public:
    RequestInterception(PageSession &session, const EngineOptions &options, QObject *parent = nullptr);

    // The parameters of the one Fetch.enable of a page session with these options.
    static QJsonObject enableParams(const EngineOptions &options);

    // A row navigates main frame `frameId` to `address`, whose origin and host are the row's own.
    void begin(const QString &address, const QString &frameId);
    // The row ended: nothing is the row's own any more.
    void end();
    void onEvent(const QString &method, const QJsonObject &params);
    void setRedirectCheck(IPage::RedirectCheck check) { m_redirectCheck = std::move(check); }

Q_SIGNALS:
    // The row's main document is paused at its response head: the receiver must answer it.
    void mainDocumentResponse(const QJsonObject &params);
    // The redirect check refused where the row's main document was redirected to;
    // the request is ended.
    void redirectRefused(const QString &reason);

private:
    void onRequest(const QString &requestId, const QJsonObject &params);
    void onResponse(const QString &requestId, const QJsonObject &params);
    void onAuthRequired(const QJsonObject &params);
    bool checkRedirect(const QString &requestId, const QJsonObject &params);
    bool isMainDocument(const QJsonObject &params) const;
    bool isOwnOrigin(const QUrl &url) const;
    bool isOwnHost(const QUrl &url) const;

    PageSession &m_session;
    const EngineOptions &m_options;
    QString m_frameId;           // the row's main frame; empty between rows
    QSet<QString> m_ownOrigins;  // of the row's address and of its main documents
    QString m_ownHost;           // of the row's address: a redirect elsewhere gets no credentials
    QSet<QString> m_authAnswered; // requests given credentials
    IPage::RedirectCheck m_redirectCheck;
    quint64 m_rows = 0; // rows begun: a late answer to an earlier row's check ends its request
};
