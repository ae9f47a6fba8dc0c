#pragma once

#include <QWebEnginePage>

// A page that is never shown and never asks anything: script dialogs,
// authentication, certificates, permissions, file choosers and new windows are
// all refused without a word.
class HiddenWebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit HiddenWebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                          const QString &defaultValue, QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
};
