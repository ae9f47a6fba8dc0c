#pragma once

#include "capture/IBrowser.h"

#include <QObject>

class HiddenWebPage;
class QWebEngineLoadingInfo;
class QWebEngineProfile;

// The hidden browser of the capture run: one page object that is never shown.
class WebEngineBrowser : public QObject, public IBrowser
{
    Q_OBJECT

public:
    explicit WebEngineBrowser(QObject *parent = nullptr);
    ~WebEngineBrowser() override;

    void Navigate(const QString &url) override;
    int ReadyState() const override { return m_readyState; }
    QString DocumentBodyInnerText() override;

    // How long taking the text of a page that never completed may wait.
    void setTextTimeout(int milliseconds) { m_textTimeout = milliseconds; }

    static QString httpStatusText(int status);

    enum State { Uninitialized = 0, Loading = 1, Interactive = 3, Complete = 4 };

private:
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void takeText();
    void fail(const QString &description);
    QString requestBodyText();

    QWebEngineProfile *m_profile;
    HiddenWebPage *m_page;
    quint64 m_navigation = 0;
    bool m_started = false;
    int m_readyState = Uninitialized;
    QString m_text;
    QString m_error;
    int m_textTimeout = 5000;
};
