#include "engine/load/DocumentWatch.h"

#include "engine/devtools/IDevToolsSession.h"
#include "engine/devtools/ProtocolHeaders.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>

namespace {

// How long an aborted load waits for the signs of a download.
constexpr int AbortWaitMs = 1000;
// How many navigations of its own making a page is followed through.
constexpr int MostFollows = 5;
// How many times a row's navigation is made again after another displaced it.
constexpr int MostRestarts = 2;

bool hasAttachmentHeader(const QJsonObject &headers)
{
    return ProtocolHeaders::value(headers, QLatin1String("content-disposition"))
        .trimmed()
        .startsWith(QLatin1String("attachment"), Qt::CaseInsensitive);
}

// Retry-After in seconds or as an HTTP date; -1 when absent or unreadable.
int retryAfter(const QJsonObject &headers)
{
    const QString value = ProtocolHeaders::value(headers, QLatin1String("retry-after")).trimmed();
    if (value.isNull())
        return -1;
    bool number = false;
    const qint64 seconds = value.toLongLong(&number);
    if (number)
        return seconds < 0 ? -1 : int(qMin<qint64>(seconds, 86'400) * 1000);
    const QDateTime when = QDateTime::fromString(value, Qt::RFC2822Date);
    if (when.isValid())
        return int(std::clamp<qint64>(QDateTime::currentDateTimeUtc().msecsTo(when), 0, 86'400'000));
    return -1;
}

QString requestIdOf(const QJsonObject &params)
{
    return params.value(QStringLiteral("requestId")).toString();
}

qint64 contentLength(const QJsonObject &headers)
{
    return ProtocolHeaders::value(headers, QLatin1String("content-length")).trimmed().toLongLong();
}

} // namespace

DocumentWatch::DocumentWatch(IDevToolsSession &session, qint64 pageCap, QObject *parent)
    : QObject(parent), m_pageCap(pageCap), m_load(pageCap)
{
    m_abortWait.setSingleShot(true);
    connect(&m_abortWait, &QTimer::timeout, this, [this] {
        m_load.decideAbort();
        Q_EMIT changed();
    });
    watch(session, QStringLiteral("Network.requestWillBeSent"), &DocumentWatch::onRequest);
    watch(session, QStringLiteral("Network.responseReceived"), &DocumentWatch::onResponse);
    watch(session, QStringLiteral("Network.responseReceivedExtraInfo"), &DocumentWatch::onRawResponse);
    watch(session, QStringLiteral("Network.dataReceived"), &DocumentWatch::onData);
    watch(session, QStringLiteral("Network.loadingFailed"), &DocumentWatch::onFailed);
    watch(session, QStringLiteral("Page.lifecycleEvent"), &DocumentWatch::onLifecycle);
    watch(session, QStringLiteral("Page.frameStoppedLoading"), &DocumentWatch::onStopped);
    watch(session, QStringLiteral("Page.frameNavigated"), &DocumentWatch::onNavigated);
    watch(session, QStringLiteral("Page.frameStartedNavigating"), &DocumentWatch::onStartedNavigating);
    // A download of the page's frame shows as the browser's event too.
    watch(session, QStringLiteral("Page.downloadWillBegin"), &DocumentWatch::onDownload);
    watch(session, QStringLiteral("Browser.downloadWillBegin"), &DocumentWatch::onDownload);
}

void DocumentWatch::watch(IDevToolsSession &session, const QString &method, Handler handler)
{
    session.on(method, [this, handler](const QJsonObject &params) {
        if (m_open)
            (this->*handler)(params);
    });
}

void DocumentWatch::clear()
{
    close();
    m_load = PageLoad(m_pageCap);
    m_frameId.clear();
    m_documentRequests.clear();
    m_committed = false;
    m_lastCommit.clear();
    m_follows = 0;
    m_startedLoaders.clear();
    m_restarts = 0;
    m_requestedAtMs = -1;
    m_redirects.clear();
}

void DocumentWatch::begin(const QString &frameId)
{
    clear();
    m_frameId = frameId;
    m_open = true;
}

void DocumentWatch::restart()
{
    const int restarts = m_restarts;
    const QString frameId = m_frameId;
    begin(frameId);
    m_restarts = restarts + 1;
}

void DocumentWatch::close()
{
    m_open = false;
    m_abortWait.stop();
}

void DocumentWatch::navigated(const QJsonObject &result)
{
    if (!m_open)
        return;
    m_load.navigated(result.value(QStringLiteral("loaderId")).toString(),
                     result.value(QStringLiteral("errorText")).toString(),
                     result.value(QStringLiteral("isDownload")).toBool());
    // The engine may answer once the document has committed.
    if (!m_lastCommit.isEmpty() && m_lastCommit == m_load.loaderId())
        m_committed = true;
    update();
}

void DocumentWatch::onRequest(const QJsonObject &params)
{
    if (params.value(QStringLiteral("type")).toString() != QLatin1String("Document")
        || params.value(QStringLiteral("frameId")).toString() != m_frameId)
        return;
    m_documentRequests.insert(requestIdOf(params));
    // A redirect is the same request sent anew, with the answer that sent it.
    if (params.contains(QStringLiteral("redirectResponse")))
        m_redirects.append(params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString());
    if (m_requestedAtMs < 0) {
        QElapsedTimer clock;
        clock.start();
        m_requestedAtMs = clock.msecsSinceReference();
    }
}

void DocumentWatch::onResponse(const QJsonObject &params)
{
    const QString requestId = requestIdOf(params);
    if (!m_documentRequests.contains(requestId))
        return;
    const QJsonObject response = params.value(QStringLiteral("response")).toObject();
    const QJsonObject headers = response.value(QStringLiteral("headers")).toObject();
    m_load.documentResponse(requestId, response.value(QStringLiteral("status")).toInt(),
                            response.value(QStringLiteral("statusText")).toString(), hasAttachmentHeader(headers),
                            contentLength(headers), retryAfter(headers),
                            response.value(QStringLiteral("mimeType")).toString());
    m_load.documentValidators(requestId,
                              {ProtocolHeaders::value(headers, QLatin1String("etag")),
                               ProtocolHeaders::value(headers, QLatin1String("last-modified"))});
    update();
}

void DocumentWatch::onRawResponse(const QJsonObject &params)
{
    const QString requestId = requestIdOf(params);
    const int status = params.value(QStringLiteral("statusCode")).toInt();
    if (!m_documentRequests.contains(requestId) || status < 200 || status >= 300
        || !hasAttachmentHeader(params.value(QStringLiteral("headers")).toObject()))
        return;
    m_load.documentAttachment(requestId);
    update();
}

void DocumentWatch::onData(const QJsonObject &params)
{
    const QString requestId = requestIdOf(params);
    if (!m_documentRequests.contains(requestId))
        return;
    m_load.documentData(requestId, qint64(params.value(QStringLiteral("dataLength")).toDouble()));
    update();
}

void DocumentWatch::onFailed(const QJsonObject &params)
{
    const QString requestId = requestIdOf(params);
    if (!m_documentRequests.contains(requestId))
        return;
    m_load.documentFailed(requestId, params.value(QStringLiteral("errorText")).toString());
    update();
}

void DocumentWatch::onLifecycle(const QJsonObject &params)
{
    if (params.value(QStringLiteral("frameId")).toString() != m_frameId)
        return;
    m_load.lifecycle(params.value(QStringLiteral("loaderId")).toString(),
                     params.value(QStringLiteral("name")).toString());
    update();
}

void DocumentWatch::onStopped(const QJsonObject &params)
{
    if (m_lastCommit.isEmpty() || params.value(QStringLiteral("frameId")).toString() != m_frameId)
        return;
    m_load.stopped(m_lastCommit);
    update();
}

void DocumentWatch::onNavigated(const QJsonObject &params)
{
    onFrameNavigated(params.value(QStringLiteral("frame")).toObject());
    update();
}

void DocumentWatch::onStartedNavigating(const QJsonObject &params)
{
    if (params.value(QStringLiteral("frameId")).toString() != m_frameId)
        return;
    m_startedLoaders.insert(params.value(QStringLiteral("loaderId")).toString());
    update();
}

void DocumentWatch::onDownload(const QJsonObject &)
{
    m_load.download();
    update();
}

void DocumentWatch::onFrameNavigated(const QJsonObject &frame)
{
    if (frame.contains(QStringLiteral("parentId")))
        return;
    const QString loaderId = frame.value(QStringLiteral("loaderId")).toString();
    m_lastCommit = loaderId;
    if (loaderId == m_load.loaderId()) {
        m_committed = true;
    } else if (m_committed && m_follows < MostFollows) {
        ++m_follows;
        m_load.follow(loaderId);
        Q_EMIT followed();
    } else if (m_committed) {
        close();
        Q_EMIT runaway();
    }
}

bool DocumentWatch::wasDisplaced() const
{
    if (!m_load.abortPending() || m_committed || m_load.httpStatus() > 0 || m_restarts >= MostRestarts)
        return false;
    const QString own = m_load.loaderId();
    return !own.isEmpty()
        && std::any_of(m_startedLoaders.begin(), m_startedLoaders.end(),
                       [&own](const QString &loader) { return loader != own; });
}

void DocumentWatch::update()
{
    if (wasDisplaced()) {
        close();
        Q_EMIT displaced();
        return;
    }
    if (m_load.abortPending() && !m_abortWait.isActive())
        m_abortWait.start(AbortWaitMs);
    Q_EMIT changed();
}
