#pragma once

#include "engine/chromium/PageContext.h"
#include "engine/cookies/ContextCookies.h"
#include "engine/devtools/IDevToolsSession.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ChromiumBrowser;

// The browser context, target and session a page's rows load in: each row has
// a context of its own, replaced whole after it, so that no row meets what
// another left (cookies, storage, the HTTP and authentication caches, HSTS,
// certificate decisions, permissions, service workers, sockets). The next
// row's context is opened while a row loads. The page's events reach it
// through the browser's router and go to the handlers registered for them; it
// answers dialogs and closes the windows the page opens itself. Replies come only
// while the context that sent their command is the row's.
class PageSession : public QObject, public IDevToolsSession
{
    Q_OBJECT

public:
    explicit PageSession(ChromiumBrowser &browser, QObject *parent = nullptr);
    ~PageSession() override;

    // Opens the page unless it is open or opening.
    void open();
    // Open and unused: the next navigation may start.
    bool isReady() const { return m_page && m_page->isReady() && !m_used; }
    QString targetId() const { return m_page ? m_page->targetId() : QString(); }
    void send(const QString &method, const QJsonObject &params = {}, Reply reply = {}) override;
    void on(const QString &method, Handler handler) override;

    // A row is about to navigate to `host`: its site's cookies, the run's and
    // those of `ruleCookies`, go into the context; `done` gets why they could
    // not, or empty. Not called once the row's context is replaced.
    void startRow(const QString &host, const QList<BrowserCookie> &ruleCookies,
                  std::function<void(const QString &error)> done);
    // The row ended: its context is replaced if a row started in it.
    void endRow();
    // Ends the page's context, renderer and all (after reading what its row did
    // to the cookies), and goes on in a new one.
    void recycle();
    // The row was aborted: its context is replaced as by endRow(), without
    // reading its cookies, so that nothing of the row is kept.
    void discard();
    // Forgets the page (the browser stopped).
    void drop();

Q_SIGNALS:
    // The page is ready for the next navigation.
    void ready();
    // The page crashed or was closed; a new one is being opened.
    void lost(const QString &reason);

private:
    // The spare context, else a new one; opening.
    std::unique_ptr<PageContext> nextContext();
    void openSpare();
    void onPageReady();
    void onEvent(const QString &method, const QJsonObject &params);
    void onSpareEvent(const QString &method);
    // `reply`, only while the row's context is the one it was sent from.
    Reply whileCurrent(Reply reply);
    void closeOpenedWindow(const QJsonObject &params);
    void answerDialog(const QJsonObject &params);
    // Why the renderer died: killed for its memory, or crashed (`detail`: " (status)").
    QString crashReason(const QString &detail);
    void lose(const QString &reason);
    void replace(bool keepCookies);

    ChromiumBrowser &m_browser;
    ContextCookies m_cookies;
    std::unique_ptr<PageContext> m_page; // the row's
    std::unique_ptr<PageContext> m_spare; // the next row's
    bool m_used = false; // a row has started in the page's context
    QHash<QString, QList<Handler>> m_handlers; // by event method, in the order registered
};
