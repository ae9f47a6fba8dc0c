#pragma once

#include "engine/EngineOptions.h"
#include "engine/chromium/BrowserIdentity.h"
#include "engine/cookies/CookieJar.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class ConditionalProbe;
class DevToolsConnection;
class DevToolsRouter;
class IEngineProcess;
class ProfileFolder;

// One headless Chromium, driven over its DevTools pipe and shared by the pages
// that load in it; its router hands each page the events of its own session.
// It is started when a page first needs it and again after it stopped (with an
// idle limit, once no row loaded for that long); its profile folder lives only
// as long as it runs, and the first start removes the folders that killed
// programs left.
class ChromiumBrowser : public QObject
{
    Q_OBJECT

public:
    explicit ChromiumBrowser(IEngineProcess &process, const EngineOptions &options = {}, QObject *parent = nullptr);
    ~ChromiumBrowser() override;

    const EngineOptions &options() const { return m_options; }
    // Options for the rows that follow. A running engine whose pages were opened
    // with other session options (what the browser says, cookies, proxy, certificates,
    // blocked requests) is stopped, and the next row starts it with these.
    void setOptions(const EngineOptions &options);
    DevToolsConnection &connection() { return *m_connection; }
    DevToolsRouter &router() { return *m_router; }
    // The page scripts, with this engine's options filled in.
    const QString &settleScript() const { return m_settleScript; }
    const QString &textScript() const { return m_textScript; }
    // The script that takes a row's content with these options: the body's text, or the chosen format.
    static QString textScriptFor(const EngineOptions &options);

    bool isRunning() const;
    // Starts the engine unless it runs; false with the reason when it cannot.
    bool ensureRunning(QString *failure);
    // Ends the engine and removes its profile; pages loading are told `reason`.
    void shutdown(const QString &reason = QStringLiteral("the browser engine was shut down"));
    // Why no page can be loaded at all (the engine is missing), or empty.
    QString unavailableReason() const;
    // A page's row began or ended (from its load to its outcome, or its abort).
    void rowStarted();
    void rowEnded();
    int rowsLoading() const { return m_rowsLoading; }
    // Stops the engine once no row has loaded in it for this long; 0 (the
    // default) keeps it running. The next row starts it again.
    void setIdleLimit(int milliseconds);
    // Whether a renderer was killed for its memory in the last 2 s: the reason a
    // page's renderer crashed. Each kill answers one crash.
    bool takeMemoryKill();
    // The profile folder of the running engine, or empty.
    QString profilePath() const;

    // What the pages say about themselves (user agent, client hints, language).
    const BrowserIdentity &identity() const { return m_identity; }
    // Target.createBrowserContext's parameters: the proxy of every page's context.
    QJsonObject contextParams() const;
    // The cookies the pages start from and what their rows changed.
    CookieJar &cookieJar() { return m_cookieJar; }
    const CookieJar &cookieJar() const { return m_cookieJar; }
    // Asks servers whether rows' documents changed, made when first asked for.
    ConditionalProbe &probe();
    // The run's cookies at its end: those it started with as its rows set,
    // changed or removed them. Waits (briefly) for the last rows' cookies to be read.
    QList<BrowserCookie> cookies();

    // The engine's program: $TEXTORIN_CHROMIUM, else Debian's Chromium headless shell, else
    // its full browser.
    static QString program();
    QStringList arguments(const QString &profileFolder) const;
    // Where the engine's profile folder is made.
    static QString engineFolderBase();

Q_SIGNALS:
    // The engine stopped: every page is gone, and a row loading fails with `reason`.
    void stopped(const QString &reason);

private:
    void makeScripts();
    void onEnded(const QString &reason);
    void stop(const QString &reason);
    void onRendererKilled();
    void awaitIdle();
    void onIdle();

    // With a CA file: the engine's home, in its profile, with a database trusting it.
    bool trustCaFile(const QString &home, QString *failure);

    IEngineProcess &m_process;
    DevToolsConnection *m_connection;
    DevToolsRouter *m_router;
    EngineOptions m_options;
    BrowserIdentity m_identity;
    CookieJar m_cookieJar;
    std::unique_ptr<ProfileFolder> m_profile;
    bool m_started = false;
    bool m_sweptProfiles = false;
    QList<QDeadlineTimer> m_memoryKills; // each expires when it can no longer explain a crash
    QString m_settleScript;
    QString m_textScript;
    std::unique_ptr<ConditionalProbe> m_probe;
    int m_rowsLoading = 0;
    int m_idleLimitMs = 0;
    bool m_idleDeferred = false; // the idle stop waited once for the last rows' cookies
    QTimer m_idle;
};
