#include "engine/chromium/ConditionalProbe.h"

#include "engine/PageAddress.h"
#include "engine/chromium/ChromiumBrowser.h"
#include "engine/chromium/PageContext.h"
#include "engine/devtools/ProtocolHeaders.h"

#include <QJsonArray>
#include <QPointer>
#include <QUrl>

namespace {

// The longest a question may take before its row loads as usual.
constexpr int QuestionLimitMs = 10'000;

} // namespace

ConditionalProbe::ConditionalProbe(ChromiumBrowser &browser, QObject *parent) : QObject(parent), m_browser(browser)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        if (m_context)
            m_context->send(QStringLiteral("Page.stopLoading"));
        answer({});
    });
    connect(&m_browser, &ChromiumBrowser::stopped, this, &ConditionalProbe::reset);
}

ConditionalProbe::~ConditionalProbe() = default;

bool ConditionalProbe::serves(const QString &address) const
{
    const EngineOptions &options = m_browser.options();
    const QUrl url(address);
    const bool http = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    return http && options.conditionalLoads && options.headers.isEmpty() && options.cookies.isEmpty()
        && options.authUser.isEmpty() && options.authPassword.isEmpty() && options.proxyUser.isEmpty()
        && options.proxyPassword.isEmpty() && m_browser.cookieJar().startFor(url.host()).isEmpty();
}

void ConditionalProbe::ask(const QString &address, const PageValidators &validators, Done done)
{
    m_questions.push_back({address, validators, std::move(done)});
    askNext();
}

void ConditionalProbe::askNext()
{
    if (m_asking || m_questions.empty())
        return;
    if (!m_context) {
        m_context = std::make_unique<PageContext>(m_browser);
        m_context->setHandler([this](const QString &method, const QJsonObject &params) { onEvent(method, params); });
        connect(m_context.get(), &PageContext::ready, this, &ConditionalProbe::askNext);
        m_context->open();
    }
    if (!m_context->isReady())
        return;
    m_asking = true;
    const quint64 asked = ++m_asked;
    m_limit.start(qMin(QuestionLimitMs, m_browser.options().pageLimitMs));
    const auto navigated = [this, self = QPointer<ConditionalProbe>(this), asked](const QJsonObject &result,
                                                                                  const QString &error) {
        // A question ended at its head is answered before its navigation is.
        if (self && m_asking && asked == m_asked && (!error.isEmpty() || result.contains(QStringLiteral("errorText"))))
            answer({});
    };
    m_context->send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), m_questions.front().address}}, navigated);
}

void ConditionalProbe::onEvent(const QString &method, const QJsonObject &params)
{
    if (method != QLatin1String("Fetch.requestPaused"))
        return;
    const QString requestId = params.value(QStringLiteral("requestId")).toString();
    const bool question = m_asking && m_context
        && params.value(QStringLiteral("resourceType")).toString() == QLatin1String("Document")
        && params.value(QStringLiteral("frameId")).toString() == m_context->targetId();
    if (!question) {
        // Nothing but the question's document is wanted.
        m_context->send(QStringLiteral("Fetch.failRequest"),
                        {{QStringLiteral("requestId"), requestId},
                         {QStringLiteral("errorReason"), QStringLiteral("BlockedByClient")}});
        return;
    }
    if (params.contains(QStringLiteral("responseStatusCode")) || params.contains(QStringLiteral("responseErrorReason")))
        onResponse(requestId, params);
    else
        onRequest(requestId, params);
}

void ConditionalProbe::onRequest(const QString &requestId, const QJsonObject &params)
{
    const Question &question = m_questions.front();
    const QJsonObject request = params.value(QStringLiteral("request")).toObject();
    const QString url = request.value(QStringLiteral("url")).toString();
    if (PageAddress::originOf(QUrl(url)) != PageAddress::originOf(QUrl(question.address))) {
        m_context->send(
            QStringLiteral("Fetch.failRequest"),
            {{QStringLiteral("requestId"), requestId}, {QStringLiteral("errorReason"), QStringLiteral("Aborted")}});
        answer({});
        return;
    }
    QJsonArray headers;
    const QJsonObject sent = request.value(QStringLiteral("headers")).toObject();
    for (auto it = sent.begin(); it != sent.end(); ++it)
        headers.append(QJsonObject{{QStringLiteral("name"), it.key()}, {QStringLiteral("value"), it.value()}});
    const auto add = [&headers](const char *name, const QString &value) {
        if (!value.isEmpty())
            headers.append(
                QJsonObject{{QStringLiteral("name"), QLatin1String(name)}, {QStringLiteral("value"), value}});
    };
    add("If-None-Match", question.validators.etag);
    add("If-Modified-Since", question.validators.lastModified);
    m_context->send(QStringLiteral("Fetch.continueRequest"),
                    {{QStringLiteral("requestId"), requestId}, {QStringLiteral("headers"), headers}});
}

void ConditionalProbe::onResponse(const QString &requestId, const QJsonObject &params)
{
    Answer found;
    found.notModified = params.value(QStringLiteral("responseStatusCode")).toInt() == 304;
    found.finalUrl = params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString();
    found.validators = {ProtocolHeaders::ofPausedResponse(params, QLatin1String("etag")),
                        ProtocolHeaders::ofPausedResponse(params, QLatin1String("last-modified"))};
    // Nothing is rendered, whatever the answer: a row that changed loads in a context of its own.
    m_context->send(
        QStringLiteral("Fetch.failRequest"),
        {{QStringLiteral("requestId"), requestId}, {QStringLiteral("errorReason"), QStringLiteral("Aborted")}});
    answer(found);
}

void ConditionalProbe::answer(const Answer &answer)
{
    if (!m_asking)
        return;
    m_asking = false;
    m_limit.stop();
    // What a server set in answer to one question is not sent with the next.
    m_browser.connection().send(QStringLiteral("Storage.clearCookies"),
                                {{QStringLiteral("browserContextId"), m_context->contextId()}});
    Question question = std::move(m_questions.front());
    m_questions.pop_front();
    question.done(answer);
    askNext();
}

// The browser stopped: its pages fail their rows themselves.
void ConditionalProbe::reset()
{
    m_asking = false;
    m_limit.stop();
    m_questions.clear();
    m_context.reset();
}
