#include "platform/WebEngineBrowser.h"

#include "platform/HiddenWebPage.h"
#include "support/RuntimeError.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>

#include <memory>

namespace {

const QString BodyTextScript = QStringLiteral(
    "(function () { return document.body ? String(document.body.innerText) : null; })()");

RuntimeError noBody()
{
    return RuntimeError(QStringLiteral("Object variable or With block variable not set "
                                       "(the document has no body)"),
                        RuntimeError::ObjectNotSet);
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QObject *parent)
    : QObject(parent), m_profile(new QWebEngineProfile(this)), m_page(nullptr)
{
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    connect(m_profile, &QWebEngineProfile::downloadRequested, this,
            [](QWebEngineDownloadRequest *download) { download->cancel(); });
    m_page = new HiddenWebPage(m_profile, this);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::onLoadingChanged);
}

WebEngineBrowser::~WebEngineBrowser()
{
    delete m_page; // before its profile
    m_page = nullptr;
}

QString WebEngineBrowser::httpStatusText(int status)
{
    static const QHash<int, QString> reasons = {
        {400, QStringLiteral("Bad Request")},       {401, QStringLiteral("Unauthorized")},
        {403, QStringLiteral("Forbidden")},         {404, QStringLiteral("Not Found")},
        {405, QStringLiteral("Method Not Allowed")}, {408, QStringLiteral("Request Timeout")},
        {410, QStringLiteral("Gone")},              {429, QStringLiteral("Too Many Requests")},
        {500, QStringLiteral("Internal Server Error")}, {501, QStringLiteral("Not Implemented")},
        {502, QStringLiteral("Bad Gateway")},       {503, QStringLiteral("Service Unavailable")},
        {504, QStringLiteral("Gateway Timeout")},
    };
    const QString reason = reasons.value(status);
    return reason.isEmpty() ? QStringLiteral("HTTP error %1").arg(status)
                            : QStringLiteral("HTTP error %1 %2").arg(status).arg(reason);
}

void WebEngineBrowser::Navigate(const QString &url)
{
    ++m_navigation;
    m_started = false;
    m_text.clear();
    m_error.clear();
    m_readyState = Loading;
    const QUrl address = QUrl::fromUserInput(url);
    if (url.trimmed().isEmpty() || !address.isValid()) {
        m_page->triggerAction(QWebEnginePage::Stop);
        fail(QStringLiteral("Invalid address: \"%1\"").arg(url));
        return;
    }
    m_page->load(address);
}

void WebEngineBrowser::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    if (m_readyState == Complete)
        return;
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_started = true;
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        if (m_started)
            takeText();
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (!m_started)
            return; // the end of an earlier navigation
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
            fail(httpStatusText(info.errorCode()));
        else
            fail(info.errorString().isEmpty()
                     ? QStringLiteral("The page could not be loaded (error %1)").arg(info.errorCode())
                     : info.errorString());
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        if (m_started)
            fail(QStringLiteral("The page load was aborted"));
        return;
    }
}

void WebEngineBrowser::takeText()
{
    m_readyState = Interactive;
    const quint64 navigation = m_navigation;
    m_page->runJavaScript(BodyTextScript, QWebEngineScript::ApplicationWorld,
                          [this, navigation](const QVariant &result) {
                              if (navigation != m_navigation || m_readyState == Complete)
                                  return;
                              if (result.isNull() || !result.isValid())
                                  m_error = noBody().description();
                              else
                                  m_text = result.toString();
                              m_readyState = Complete;
                          });
}

void WebEngineBrowser::fail(const QString &description)
{
    m_error = description;
    m_readyState = Complete;
}

QString WebEngineBrowser::requestBodyText()
{
    // The page never completed: take the body text of what it holds now.
    struct Answer {
        QVariant text;
        bool given = false;
        QEventLoop loop;
    };
    auto answer = std::make_shared<Answer>();
    m_page->runJavaScript(BodyTextScript, QWebEngineScript::ApplicationWorld,
                          [answer](const QVariant &result) {
                              answer->text = result;
                              answer->given = true;
                              answer->loop.quit();
                          });
    QTimer::singleShot(m_textTimeout, &answer->loop, &QEventLoop::quit);
    if (!answer->given)
        answer->loop.exec();
    if (!answer->given || answer->text.isNull() || !answer->text.isValid())
        throw noBody();
    return answer->text.toString();
}

QString WebEngineBrowser::DocumentBodyInnerText()
{
    if (m_readyState != Complete)
        return requestBodyText();
    if (!m_error.isEmpty())
        throw RuntimeError(m_error);
    return m_text;
}
