#include "engine/load/RequestInterception.h"

#include "engine/PageAddress.h"
#include "engine/devtools/IDevToolsSession.h"
#include "engine/devtools/ProtocolHeaders.h"

#include <QJsonArray>
#include <QPointer>
#include <QUrl>

namespace {

const QString Document = QStringLiteral("Document");

struct BlockedType {
    int flag;
    const char *resourceType;
};
constexpr BlockedType BlockedTypes[] = {
    {EngineOptions::BlockImages, "Image"},
    {EngineOptions::BlockMedia, "Media"},
    {EngineOptions::BlockFonts, "Font"},
    {EngineOptions::BlockStylesheets, "Stylesheet"},
};

QJsonObject pattern(const QString &resourceType, const char *stage)
{
    QJsonObject pattern{{QStringLiteral("urlPattern"), QStringLiteral("*")},
                        {QStringLiteral("requestStage"), QLatin1String(stage)}};
    if (!resourceType.isEmpty())
        pattern.insert(QStringLiteral("resourceType"), resourceType);
    return pattern;
}

bool answersAuth(const EngineOptions &options)
{
    return !options.authUser.isEmpty() || !options.authPassword.isEmpty() || !options.proxyUser.isEmpty()
        || !options.proxyPassword.isEmpty();
}

bool isBlocked(const EngineOptions &options, const QString &resourceType)
{
    for (const BlockedType &type : BlockedTypes) {
        if ((options.blocked & type.flag) && resourceType == QLatin1String(type.resourceType))
            return true;
    }
    return false;
}

// The browser asks for the page's icon itself, as a request of no type of its own for an image.
bool isFavicon(const QString &resourceType, const QJsonObject &request)
{
    return resourceType == QLatin1String("Other")
        && ProtocolHeaders::value(request.value(QStringLiteral("headers")).toObject(), QLatin1String("accept"))
               .startsWith(QLatin1String("image/"));
}

// The request's headers with the extra ones in place of those of their names.
QJsonArray withHeaders(const QJsonObject &headers, const QList<std::pair<QString, QString>> &extra)
{
    QJsonArray merged;
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        const bool replaced = std::any_of(extra.begin(), extra.end(), [&](const auto &header) {
            return header.first.compare(it.key(), Qt::CaseInsensitive) == 0;
        });
        if (!replaced)
            merged.append(QJsonObject{{QStringLiteral("name"), it.key()}, {QStringLiteral("value"), it.value()}});
    }
    for (const auto &[name, value] : extra)
        merged.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("value"), value}});
    return merged;
}

// The extra headers with the validators' conditions in place of those of their names.
QList<std::pair<QString, QString>> withConditions(QList<std::pair<QString, QString>> headers,
                                                  const PageValidators &validators)
{
    const auto put = [&headers](const QString &name, const QString &value) {
        if (value.isEmpty())
            return;
        headers.removeIf([&name](const auto &header) { return header.first.compare(name, Qt::CaseInsensitive) == 0; });
        headers.append({name, value});
    };
    put(QStringLiteral("If-None-Match"), validators.etag);
    put(QStringLiteral("If-Modified-Since"), validators.lastModified);
    return headers;
}

// Where a paused redirect response of the request leads, or empty.
QString redirectTarget(const QJsonObject &params)
{
    const int status = params.value(QStringLiteral("responseStatusCode")).toInt();
    if (status < 300 || status > 399)
        return {};
    const QString location = ProtocolHeaders::ofPausedResponse(params, QLatin1String("location"));
    if (location.isNull())
        return {};
    const QUrl from(params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString());
    return from.resolved(QUrl(location.trimmed())).toString(QUrl::FullyEncoded);
}

QUrl requestUrl(const QJsonObject &params)
{
    return QUrl(params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString());
}

} // namespace

RequestInterception::RequestInterception(IDevToolsSession &session, const EngineOptions &options, QObject *parent)
    : QObject(parent), m_session(session), m_options(options)
{
    session.on(QStringLiteral("Fetch.requestPaused"), [this](const QJsonObject &params) { onPaused(params); });
    session.on(QStringLiteral("Fetch.authRequired"), [this](const QJsonObject &params) { onAuthRequired(params); });
}

QJsonObject RequestInterception::enableParams(const EngineOptions &options)
{
    QJsonArray patterns;
    if (!options.headers.isEmpty()) {
        patterns.append(pattern({}, "Request"));
    } else {
        for (const BlockedType &type : BlockedTypes) {
            if (options.blocked & type.flag)
                patterns.append(pattern(QLatin1String(type.resourceType), "Request"));
        }
        patterns.append(pattern(QStringLiteral("Other"), "Request")); // the favicon
        // Authentication is asked of requests paused before they leave, and
        // validators are added to them.
        if (answersAuth(options) || options.conditionalLoads)
            patterns.append(pattern(Document, "Request"));
    }
    patterns.append(pattern(Document, "Response"));
    return {{QStringLiteral("patterns"), patterns}, {QStringLiteral("handleAuthRequests"), answersAuth(options)}};
}

void RequestInterception::begin(const QString &address, const QString &frameId, const PageValidators &validators)
{
    ++m_rows;
    m_frameId = frameId;
    m_ownOrigin = PageAddress::originOf(QUrl(address));
    m_authAnswered.clear();
    m_withheldFrom.clear();
    m_validators = m_options.conditionalLoads ? validators : PageValidators();
    m_validated.clear();
}

void RequestInterception::end()
{
    m_frameId.clear();
    m_ownOrigin.clear();
    m_validators = {};
    m_validated.clear();
}

void RequestInterception::onPaused(const QJsonObject &params)
{
    const QString requestId = params.value(QStringLiteral("requestId")).toString();
    if (params.contains(QStringLiteral("responseStatusCode")) || params.contains(QStringLiteral("responseErrorReason")))
        onResponse(requestId, params);
    else
        onRequest(requestId, params);
}

void RequestInterception::onRequest(const QString &requestId, const QJsonObject &params)
{
    const QString type = params.value(QStringLiteral("resourceType")).toString();
    const QJsonObject request = params.value(QStringLiteral("request")).toObject();
    if (isBlocked(m_options, type) || isFavicon(type, request)) {
        m_session.send(QStringLiteral("Fetch.failRequest"),
                       {{QStringLiteral("requestId"), requestId},
                        {QStringLiteral("errorReason"), QStringLiteral("BlockedByClient")}});
        return;
    }
    QJsonObject answer{{QStringLiteral("requestId"), requestId}};
    const QList<std::pair<QString, QString>> extra = extraHeaders(requestId, params);
    if (!extra.isEmpty())
        answer.insert(QStringLiteral("headers"),
                      withHeaders(request.value(QStringLiteral("headers")).toObject(), extra));
    m_session.send(QStringLiteral("Fetch.continueRequest"), answer);
}

// The headers the request gets besides its own: those of the options, and the
// validators for the row's main document, for the row's own origin only.
QList<std::pair<QString, QString>> RequestInterception::extraHeaders(const QString &requestId,
                                                                     const QJsonObject &params)
{
    // A redirect's next leg may come under the same id: only a leg sent with them counts.
    m_validated.remove(requestId);
    if (!isOwnOrigin(requestUrl(params)))
        return {};
    if (m_validators.isEmpty() || !isMainDocument(params))
        return m_options.headers;
    m_validated.insert(requestId);
    return withConditions(m_options.headers, m_validators);
}

void RequestInterception::onResponse(const QString &requestId, const QJsonObject &params)
{
    if (isMainDocument(params) && params.contains(QStringLiteral("responseStatusCode"))) {
        if (takeNotModified(requestId, params))
            return;
        // The row's document is answered: a navigation the page makes itself asks plainly.
        if (redirectTarget(params).isEmpty())
            m_validators = {};
        if (!checkRedirect(requestId, params))
            Q_EMIT mainDocumentResponse(params);
        return;
    }
    // A response that failed has no head to continue with: its request goes on to its error.
    const bool failed = !params.contains(QStringLiteral("responseStatusCode"));
    m_session.send(failed ? QStringLiteral("Fetch.continueRequest") : QStringLiteral("Fetch.continueResponse"),
                   {{QStringLiteral("requestId"), requestId}});
}

// Holds a redirect of the row's main document until the check answers; false
// when there is no check or no redirect.
bool RequestInterception::checkRedirect(const QString &requestId, const QJsonObject &params)
{
    const QString target = redirectTarget(params);
    if (!m_redirectCheck || target.isEmpty())
        return false;
    const QPointer<RequestInterception> self(this);
    const quint64 row = m_rows;
    m_redirectCheck(target, [self, row, requestId](const QString &refusal) {
        if (!self)
            return;
        const bool rowGoesOn = row == self->m_rows && !self->m_frameId.isEmpty();
        if (rowGoesOn && refusal.isEmpty()) {
            self->m_session.send(QStringLiteral("Fetch.continueResponse"), {{QStringLiteral("requestId"), requestId}});
            return;
        }
        self->m_session.send(QStringLiteral("Fetch.failRequest"),
                             {{QStringLiteral("requestId"), requestId},
                              {QStringLiteral("errorReason"), QStringLiteral("BlockedByClient")}});
        if (rowGoesOn)
            Q_EMIT self->redirectRefused(refusal);
    });
    return true;
}

// Ends the row's main document at a 304 its validators earned, before the
// browser sees it: false for any other answer.
bool RequestInterception::takeNotModified(const QString &requestId, const QJsonObject &params)
{
    if (params.value(QStringLiteral("responseStatusCode")).toInt() != 304 || !m_validated.contains(requestId))
        return false;
    m_validators = {};
    m_validated.clear();
    m_session.send(
        QStringLiteral("Fetch.failRequest"),
        {{QStringLiteral("requestId"), requestId}, {QStringLiteral("errorReason"), QStringLiteral("Aborted")}});
    Q_EMIT notModified(params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString(),
                       {ProtocolHeaders::ofPausedResponse(params, QLatin1String("etag")),
                        ProtocolHeaders::ofPausedResponse(params, QLatin1String("last-modified"))});
    return true;
}

void RequestInterception::onAuthRequired(const QJsonObject &params)
{
    const QString requestId = params.value(QStringLiteral("requestId")).toString();
    const bool proxy =
        params.value(QStringLiteral("authChallenge")).toObject().value(QStringLiteral("source")).toString()
        == QLatin1String("Proxy");
    const QString user = proxy ? m_options.proxyUser : m_options.authUser;
    const QString password = proxy ? m_options.proxyPassword : m_options.authPassword;
    const bool hasCredentials = !user.isEmpty() || !password.isEmpty();
    const QString origin = PageAddress::originOf(requestUrl(params));
    const bool ownOrigin = proxy || (!m_ownOrigin.isEmpty() && origin == m_ownOrigin);
    // Credentials a request was given once and asks for again are wrong: its 401 stands.
    const bool provide = hasCredentials && ownOrigin && !m_authAnswered.contains(requestId);
    if (hasCredentials && !ownOrigin && !m_frameId.isEmpty() && !m_withheldFrom.contains(origin))
        m_withheldFrom.append(origin);
    QJsonObject response{
        {QStringLiteral("response"), provide ? QStringLiteral("ProvideCredentials") : QStringLiteral("CancelAuth")}};
    if (provide) {
        m_authAnswered.insert(requestId);
        response.insert(QStringLiteral("username"), user);
        response.insert(QStringLiteral("password"), password);
    }
    m_session.send(QStringLiteral("Fetch.continueWithAuth"),
                   {{QStringLiteral("requestId"), requestId}, {QStringLiteral("authChallengeResponse"), response}});
}

bool RequestInterception::isMainDocument(const QJsonObject &params) const
{
    return !m_frameId.isEmpty() && params.value(QStringLiteral("resourceType")).toString() == Document
        && params.value(QStringLiteral("frameId")).toString() == m_frameId;
}

bool RequestInterception::isOwnOrigin(const QUrl &url) const
{
    return !m_ownOrigin.isEmpty() && PageAddress::originOf(url) == m_ownOrigin;
}
