#include "engine/load/PageLoad.h"

#include <QSet>

namespace {

const QString Aborted = QStringLiteral("net::ERR_ABORTED");

} // namespace

void PageLoad::navigated(const QString &loaderId, const QString &errorText, bool isDownload)
{
    m_replied = true;
    m_loaderId = loaderId;
    m_withinDocument = loaderId.isEmpty() && errorText.isEmpty();
    if (isDownload)
        m_download = true;
    if (!errorText.isEmpty() && !loaderId.isEmpty() && m_documents.value(loaderId).errorText.isEmpty())
        m_documents[loaderId].errorText = errorText;
    else if (errorText == Aborted && loaderId.isEmpty())
        m_abortPending = true;
    else if (!errorText.isEmpty() && loaderId.isEmpty() && m_failure.isEmpty())
        m_failure = errorText;
    update();
}

void PageLoad::follow(const QString &loaderId)
{
    if (failed() || loaderId.isEmpty() || loaderId == m_loaderId)
        return;
    m_loaderId = loaderId;
    m_withinDocument = false;
    update();
}

void PageLoad::documentResponse(const QString &requestId, int status, const QString &statusText, bool attachment,
                                qint64 contentLength, int retryAfterMs, const QString &mimeType)
{
    Document &document = m_documents[requestId];
    document.mimeType = mimeType;
    document.retryAfterMs = retryAfterMs;
    document.status = status;
    document.statusText = statusText;
    document.attachment = attachment;
    if (contentLength > m_pageCap)
        document.bytes = contentLength;
    update();
}

void PageLoad::documentValidators(const QString &requestId, const PageValidators &validators)
{
    m_documents[requestId].validators = validators;
}

void PageLoad::documentAttachment(const QString &requestId)
{
    m_documents[requestId].attachment = true;
    update();
}

void PageLoad::documentData(const QString &requestId, qint64 bytes)
{
    m_documents[requestId].bytes += bytes;
    update();
}

void PageLoad::documentFailed(const QString &requestId, const QString &errorText)
{
    Document &document = m_documents[requestId];
    if (document.errorText.isEmpty())
        document.errorText = errorText;
    update();
}

void PageLoad::lifecycle(const QString &loaderId, const QString &name)
{
    Document &document = m_documents[loaderId];
    if (name == QLatin1String("DOMContentLoaded"))
        document.parsed = true;
    else if (name == QLatin1String("load"))
        document.parsed = document.loaded = true;
    update();
}

void PageLoad::stopped(const QString &loaderId)
{
    m_documents[loaderId].stopped = true;
    update();
}

void PageLoad::decideAbort()
{
    m_abortDecided = true;
    update();
    if (m_abortPending && !failed())
        m_failure = QStringLiteral("the load was aborted (%1)").arg(Aborted);
}

void PageLoad::download()
{
    m_download = true;
    update();
}

const PageLoad::Document &PageLoad::current() const
{
    static const Document none;
    const auto found = m_documents.constFind(m_loaderId);
    return m_loaderId.isEmpty() || found == m_documents.constEnd() ? none : *found;
}

QString PageLoad::httpStatusText(int status, const QString &statusText)
{
    static const QHash<int, QString> reasons = {
        {400, QStringLiteral("Bad Request")},
        {401, QStringLiteral("Unauthorized")},
        {403, QStringLiteral("Forbidden")},
        {404, QStringLiteral("Not Found")},
        {405, QStringLiteral("Method Not Allowed")},
        {408, QStringLiteral("Request Timeout")},
        {410, QStringLiteral("Gone")},
        {429, QStringLiteral("Too Many Requests")},
        {500, QStringLiteral("Internal Server Error")},
        {501, QStringLiteral("Not Implemented")},
        {502, QStringLiteral("Bad Gateway")},
        {503, QStringLiteral("Service Unavailable")},
        {504, QStringLiteral("Gateway Timeout")},
    };
    QString reason = reasons.value(status);
    if (reason.isEmpty())
        reason = statusText.simplified();
    return reason.isEmpty() ? QStringLiteral("HTTP error %1").arg(status)
                            : QStringLiteral("HTTP error %1 %2").arg(status).arg(reason);
}

bool PageLoad::mayPass() const
{
    static const QSet<int> statuses{408, 429, 502, 503, 504};
    static const QSet<QString> errors{
        QStringLiteral("net::ERR_CONNECTION_RESET"),   QStringLiteral("net::ERR_CONNECTION_CLOSED"),
        QStringLiteral("net::ERR_CONNECTION_ABORTED"), QStringLiteral("net::ERR_EMPTY_RESPONSE"),
        QStringLiteral("net::ERR_TIMED_OUT"),          QStringLiteral("net::ERR_CONNECTION_TIMED_OUT"),
        QStringLiteral("net::ERR_NETWORK_CHANGED"),
    };
    const Document &document = current();
    if (document.status >= 400)
        return statuses.contains(document.status);
    return errors.contains(document.errorText) || errors.contains(m_failure);
}

QString PageLoad::tooLargeText(qint64 pageCap)
{
    return QStringLiteral("page too large (more than %1 MiB)").arg(pageCap / (1024 * 1024));
}

void PageLoad::update()
{
    if (failed() || !m_replied)
        return;
    if (m_download) {
        m_failure = QStringLiteral("the address is a download, not a page");
        return;
    }
    if (m_withinDocument)
        return;
    const Document &document = current();
    if (document.status >= 400)
        m_failure = httpStatusText(document.status, document.statusText);
    else if (document.attachment)
        m_failure = QStringLiteral("the address is a download (an attachment), not a page");
    else if (document.bytes > m_pageCap)
        m_failure = tooLargeText();
    else if (document.stopped && document.errorText == Aborted)
        m_abortPending = false; // stopped by the page itself, which keeps what it has
    else if (document.errorText == Aborted && !m_abortDecided)
        m_abortPending = true;
    else if (!document.errorText.isEmpty())
        m_failure = document.errorText == Aborted ? QStringLiteral("the load was aborted (%1)").arg(Aborted)
                                                  : document.errorText;
}
