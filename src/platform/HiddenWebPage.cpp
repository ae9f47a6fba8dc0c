#include "platform/HiddenWebPage.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>

HiddenWebPage::HiddenWebPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{
    QWebEngineSettings *web = settings();
    web->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    web->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    web->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    web->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    web->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    web->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    setAudioMuted(true);

    connect(this, &QWebEnginePage::certificateError, this,
            [](QWebEngineCertificateError error) { error.rejectCertificate(); });
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [](const QUrl &, QAuthenticator *authenticator) { *authenticator = QAuthenticator(); });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [](const QUrl &, QAuthenticator *authenticator, const QString &) {
                *authenticator = QAuthenticator();
            });
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
}

void HiddenWebPage::javaScriptAlert(const QUrl &, const QString &)
{
}

bool HiddenWebPage::javaScriptConfirm(const QUrl &, const QString &)
{
    return false;
}

bool HiddenWebPage::javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *)
{
    return false;
}

void HiddenWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int,
                                             const QString &)
{
}

QStringList HiddenWebPage::chooseFiles(FileSelectionMode, const QStringList &, const QStringList &)
{
    return {};
}

QWebEnginePage *HiddenWebPage::createWindow(WebWindowType)
{
    return nullptr;
}
