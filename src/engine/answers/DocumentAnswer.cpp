#include "engine/answers/DocumentAnswer.h"

#include "engine/answers/BodyText.h"
#include "engine/devtools/IDevToolsSession.h"
#include "engine/devtools/ProtocolHeaders.h"
#include "engine/load/PageLoad.h"

#include <QFile>
#include <QJsonArray>
#include <QUrl>

DocumentAnswer::DocumentAnswer(IDevToolsSession &session, const EngineOptions &options, QObject *parent)
    : QObject(parent), m_session(session), m_options(options), m_reader(session)
{
    connect(&m_reader, &ResponseBodyReader::done, this, &DocumentAnswer::onBody);
    connect(&m_reader, &ResponseBodyReader::tooLarge, this, [this] {
        endRequest();
        fail(PageLoad::tooLargeText(cap()));
    });
    connect(&m_reader, &ResponseBodyReader::failed, this, [this](const QString &error) {
        endRequest();
        fail(QStringLiteral("the answer could not be read (%1)").arg(error));
    });
    connect(&m_pdf, &PdfText::done, this, [this](const QString &text) {
        m_outcome.content = text;
        finish();
    });
    connect(&m_pdf, &PdfText::failed, this, &DocumentAnswer::fail);
    connect(&m_pdf, &PdfText::tooLarge, this, [this] { fail(PageLoad::tooLargeText(m_options.pageCap)); });
}

void DocumentAnswer::takeResponse(const QJsonObject &params)
{
    const QString requestId = params.value(QStringLiteral("requestId")).toString();
    const int status = params.value(QStringLiteral("responseStatusCode")).toInt();
    // Redirects, errors and empty answers go on as they are; one answer a row is taken.
    const bool hasBody = status >= 200 && status < 300 && status != 204 && status != 205;
    const DocumentKind kind =
        DocumentKind::fromContentType(ProtocolHeaders::ofPausedResponse(params, QLatin1String("content-type")));
    if (m_busy || !hasBody || (kind.kind == DocumentKind::Page && !m_rawBody)) {
        m_session.send(QStringLiteral("Fetch.continueResponse"), {{QStringLiteral("requestId"), requestId}});
        return;
    }
    m_requestId = requestId;
    m_outcome = PageOutcome();
    m_outcome.httpStatus = status;
    m_outcome.etag = ProtocolHeaders::ofPausedResponse(params, QLatin1String("etag"));
    m_outcome.lastModified = ProtocolHeaders::ofPausedResponse(params, QLatin1String("last-modified"));
    m_outcome.finalUrl = params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString();
    take(kind);
    if (!m_busy)
        return;
    if (ProtocolHeaders::ofPausedResponse(params, QLatin1String("content-length")).trimmed().toLongLong() > cap()) {
        endRequest();
        fail(PageLoad::tooLargeText(cap()));
        return;
    }
    m_reader.start(m_requestId, cap());
}

bool DocumentAnswer::takeFile(const QString &url)
{
    const QUrl address(url);
    if (!address.isLocalFile())
        return false;
    const DocumentKind kind = DocumentKind::fromFileName(address.toLocalFile());
    if (kind.kind == DocumentKind::Page && !m_rawBody)
        return false;
    m_outcome = PageOutcome();
    m_outcome.finalUrl = url;
    take(kind);
    if (!m_busy)
        return true;
    QFile file(address.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("the file could not be read (%1)").arg(file.errorString()));
    else if (file.size() > cap())
        fail(PageLoad::tooLargeText(cap()));
    else
        makeText(file.read(cap() + 1));
    return true;
}

void DocumentAnswer::take(const DocumentKind &kind)
{
    m_busy = true;
    m_kind = kind;
    m_outcome.contentType = kind.mimeType;
    Q_EMIT taken();
    if (m_rawBody)
        return;
    if (kind.kind == DocumentKind::NotAPage) {
        endRequest();
        fail(QStringLiteral("not a page (%1)").arg(kind.mimeType));
    } else if (m_options.form == EngineOptions::PageForm::Html) {
        endRequest();
        fail(QStringLiteral("no HTML form for %1").arg(kind.mimeType));
    }
}

void DocumentAnswer::onBody(const QByteArray &body)
{
    endRequest();
    makeText(body);
}

void DocumentAnswer::makeText(const QByteArray &body)
{
    if (body.size() > cap()) {
        fail(PageLoad::tooLargeText(cap()));
        return;
    }
    if (m_rawBody) {
        m_outcome.body = body;
        finish();
        return;
    }
    if (m_kind.kind == DocumentKind::Pdf) {
        PdfText::Limits limits;
        limits.timeMs = m_options.pageLimitMs;
        limits.rowDeadline = m_deadline;
        limits.memoryBytes = m_options.pageMemoryCap;
        limits.textChars = m_options.pageCap;
        m_pdf.start(body, limits);
        return;
    }
    QString failure;
    m_outcome.content = m_kind.kind == DocumentKind::Xml ? BodyText::xml(body, m_kind.charset, &failure)
                                                         : BodyText::plain(body, m_kind.charset);
    if (!failure.isEmpty())
        fail(failure);
    else if (m_outcome.content.size() > m_options.pageCap)
        fail(PageLoad::tooLargeText(m_options.pageCap));
    else
        finish();
}

void DocumentAnswer::endRequest()
{
    // Ended before the browser sees the answer: no viewer opens, no download starts.
    if (m_requestId.isEmpty())
        return;
    m_session.send(QStringLiteral("Fetch.failRequest"),
                   {{QStringLiteral("requestId"), std::exchange(m_requestId, {})},
                    {QStringLiteral("errorReason"), QStringLiteral("Aborted")}});
}

void DocumentAnswer::fail(const QString &reason)
{
    PageOutcome outcome = PageOutcome::failedWith(reason);
    outcome.httpStatus = m_outcome.httpStatus;
    outcome.contentType = m_outcome.contentType;
    outcome.etag = m_outcome.etag;
    outcome.lastModified = m_outcome.lastModified;
    m_outcome = outcome;
    finish();
}

void DocumentAnswer::finish()
{
    stop();
    // The whole text stands in for the article an answer of this kind does not have.
    if (!m_outcome.failed() && !m_rawBody)
        m_outcome.mainContentFallback = m_options.mainContent;
    Q_EMIT done(m_outcome);
}

void DocumentAnswer::stop()
{
    m_reader.stop();
    m_pdf.stop();
    endRequest();
    m_busy = false;
}
