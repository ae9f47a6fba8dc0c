#include "engine/chromium/ChromiumBrowser.h"

#include "engine/IEngineProcess.h"
#include "engine/chromium/AbandonedProfiles.h"
#include "engine/chromium/ConditionalProbe.h"
#include "engine/chromium/NssTrustStore.h"
#include "engine/chromium/ProfileFolder.h"
#include "engine/devtools/DevToolsConnection.h"
#include "engine/devtools/DevToolsRouter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <tuple>

static void initEngineResources()
{
    Q_INIT_RESOURCE(engine);
}

namespace {

// Chromium's headless shell: the same engine without the desktop browser's
// windows and services, a third of the CPU a page costs in the full browser.
const QString HeadlessShell = QStringLiteral("/usr/lib/chromium/chromium-headless-shell");
const QString FullBrowser = QStringLiteral("/usr/lib/chromium/chromium");
// How long after a renderer was killed for its memory a page's crash is put down to it.
constexpr int MemoryKillMs = 2'000;
// The longest wait for the cookies of rows that just ended.
constexpr int CookieReadMs = 2'000;

QString resourceText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The options a page's session is opened with, or the engine started with.
auto sessionOptions(const EngineOptions &options)
{
    return std::tie(options.userAgent, options.headers, options.language, options.proxyRules, options.proxyBypass,
                    options.proxyUser, options.proxyPassword, options.authUser, options.authPassword,
                    options.checkCertificates, options.caCertificateFile, options.blocked, options.settleMs,
                    options.windowSize, options.cookies);
}

} // namespace

ChromiumBrowser::ChromiumBrowser(IEngineProcess &process, const EngineOptions &options, QObject *parent)
    : QObject(parent), m_process(process), m_connection(new DevToolsConnection(process, this)),
      m_router(new DevToolsRouter(*m_connection, this)), m_options(options), m_identity(options),
      m_cookieJar(options.cookies)
{
    initEngineResources();
    makeScripts();
    connect(&m_process, &IEngineProcess::ended, this, &ChromiumBrowser::onEnded);
    connect(&m_process, &IEngineProcess::rendererKilled, this, &ChromiumBrowser::onRendererKilled);
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &ChromiumBrowser::onIdle);
}

ChromiumBrowser::~ChromiumBrowser()
{
    shutdown();
}

ConditionalProbe &ChromiumBrowser::probe()
{
    if (!m_probe)
        m_probe = std::make_unique<ConditionalProbe>(*this);
    return *m_probe;
}

QString ChromiumBrowser::textScriptFor(const EngineOptions &options)
{
    // composed.js, with the page cap and whether to collect links filled in, goes into either script, and
    // metadata.js.
    const QString composed =
        resourceText(QStringLiteral(":/engine/composed.js"))
            .replace(QLatin1String("PAGE_CAP"), QString::number(options.pageCap))
            .replace(QLatin1String("COLLECT_LINKS"), QLatin1String(options.collectLinks ? "true" : "false"));
    // The selectors go in last, as string literals, so that nothing else is replaced within them.
    const auto literal = [](const QString &selector) {
        return QString::fromUtf8(QJsonDocument(QJsonArray{selector}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
    };
    const QString parts = resourceText(QStringLiteral(":/engine/parts.js"));
    const QString metadata = resourceText(QStringLiteral(":/engine/metadata.js"));
    const auto withParts = [&](QString script) {
        return script.replace(QLatin1String("/*METADATA*/"), metadata)
            .replace(QLatin1String("/*PARTS*/"), parts)
            .replace(QLatin1String("PARTS_SELECT"), literal(options.selectParts))
            .replace(QLatin1String("PARTS_REMOVE"), literal(options.removeParts));
    };
    if (options.plainText())
        return withParts(
            resourceText(QStringLiteral(":/engine/text.js")).replace(QLatin1String("/*COMPOSED*/"), composed));
    static const char *const forms[] = {"text", "markdown", "html"};
    // The libraries go into the script itself, so that the page's globals stay its own.
    QString libraries;
    for (const char *library : {"Readability.js", "Readability-readerable.js", "turndown.js", "turndown-plugin-gfm.js"})
        libraries += resourceText(QStringLiteral(":/engine/lib/") + QLatin1String(library)) + QLatin1Char('\n');
    return withParts(resourceText(QStringLiteral(":/engine/extract.js"))
                         .replace(QLatin1String("/*COMPOSED*/"), composed)
                         .replace(QLatin1String("FORMAT"), QLatin1String(forms[int(options.form)]))
                         .replace(QLatin1String("MAIN_CONTENT"), QLatin1String(options.mainContent ? "true" : "false")))
        .replace(QLatin1String("/*LIBRARIES*/"), libraries);
}

void ChromiumBrowser::makeScripts()
{
    m_settleScript = resourceText(QStringLiteral(":/engine/settle.js"))
                         .replace(QLatin1String("SETTLE_MS"), QString::number(m_options.settleMs));
    m_textScript = textScriptFor(m_options);
}

void ChromiumBrowser::setOptions(const EngineOptions &options)
{
    const bool restart = sessionOptions(options) != sessionOptions(m_options);
    m_options = options;
    makeScripts();
    m_identity.setOptions(options);
    // A new run's cookies start from its options.
    m_cookieJar = CookieJar(options.cookies);
    if (restart && isRunning())
        shutdown(QStringLiteral("the browser engine's options changed"));
}

QString ChromiumBrowser::program()
{
    const QString chosen = qEnvironmentVariable("TEXTORIN_CHROMIUM");
    if (!chosen.isEmpty())
        return chosen;
    const QFileInfo fullBrowser(FullBrowser);
    return QFileInfo(HeadlessShell).isExecutable() || !fullBrowser.isExecutable() ? HeadlessShell : FullBrowser;
}

QString ChromiumBrowser::engineFolderBase()
{
    // The engine puts sockets below its temporary folder, whose paths may not
    // exceed 107 bytes: a long $TMPDIR gives way to /tmp.
    const QString base = QDir::tempPath();
    if (base.toLocal8Bit().size() <= 40 || !QFileInfo(QStringLiteral("/tmp")).isWritable())
        return base;
    return QStringLiteral("/tmp");
}

QStringList ChromiumBrowser::arguments(const QString &profileFolder) const
{
    QStringList arguments{
        QStringLiteral("--headless"),
        // The headless shell does not keep each site in a process of its own, nor
        // refuse the windows a page opens by itself, unless told.
        QStringLiteral("--site-per-process"),
        QStringLiteral("--block-new-web-contents"),
        QStringLiteral("--remote-debugging-pipe"),
        QStringLiteral("--user-data-dir=") + profileFolder,
        QStringLiteral("--no-first-run"),
        QStringLiteral("--no-default-browser-check"),
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-background-timer-throttling"),
        QStringLiteral("--disable-backgrounding-occluded-windows"),
        QStringLiteral("--disable-renderer-backgrounding"),
        QStringLiteral("--disable-breakpad"),
        QStringLiteral("--disable-client-side-phishing-detection"),
        QStringLiteral("--disable-component-extensions-with-background-pages"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-default-apps"),
        QStringLiteral("--disable-extensions"),
        QStringLiteral("--disable-domain-reliability"),
        QStringLiteral("--disable-hang-monitor"),
        QStringLiteral("--disable-prompt-on-repost"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-features=Translate,MediaRouter,OptimizationHints,"
                       "BackForwardCache,RenderDocument,AcceptCHFrame,HttpsUpgrades,"
                       "HttpsFirstBalancedModeAutoEnable,InterestFeedContentSuggestions,"
                       // A spare renderer is made for the last context used: with a
                       // context per page each navigation would throw one away.
                       "SpareRendererForSitePerProcess"),
        QStringLiteral("--metrics-recording-only"),
        QStringLiteral("--no-pings"),
        QStringLiteral("--password-store=basic"),
        QStringLiteral("--use-mock-keychain"),
        QStringLiteral("--force-color-profile=srgb"),
        QStringLiteral("--mute-audio"),
        QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--deny-permission-prompts"),
        QStringLiteral("--window-size=%1,%2").arg(m_options.windowSize.width()).arg(m_options.windowSize.height()),
    };
    // Workers take the language from the engine's own, which the pages' override does not reach.
    arguments << QStringLiteral("--lang=") + m_identity.language()
              << QStringLiteral("--accept-lang=") + BrowserIdentity::languageList(m_identity.language());
    if (!m_options.checkCertificates)
        arguments << QStringLiteral("--ignore-certificate-errors");
    // Chromium refuses to run as root inside its sandbox.
    if (geteuid() == 0)
        arguments << QStringLiteral("--no-sandbox");
    arguments << QStringLiteral("about:blank");
    return arguments;
}

QString ChromiumBrowser::unavailableReason() const
{
    const QFileInfo file(program());
    if (file.isFile() && file.isExecutable())
        return {};
    return QStringLiteral("The browser engine %1 is missing: install the Debian package "
                          "\"chromium-headless-shell\" (apt install chromium-headless-shell)")
        .arg(program());
}

bool ChromiumBrowser::isRunning() const
{
    return m_started && m_process.isRunning();
}

bool ChromiumBrowser::ensureRunning(QString *failure)
{
    if (isRunning())
        return true;
    if (m_started)
        onEnded(QStringLiteral("it is gone"));
    *failure = unavailableReason();
    if (!failure->isEmpty())
        return false;
    m_connection->reset();
    if (!m_sweptProfiles) {
        m_sweptProfiles = true;
        AbandonedProfiles::removeUnder(engineFolderBase());
    }
    m_profile = std::make_unique<ProfileFolder>(engineFolderBase());
    // The engine's temporary files, crash reports, caches and certificate
    // database go with the profile, never into the user's home.
    const QString profile = m_profile->path();
    const QString home = profile + QStringLiteral("/h");
    QStringList environment{QStringLiteral("TMPDIR=") + profile + QStringLiteral("/t"), QStringLiteral("HOME=") + home,
                            QStringLiteral("XDG_CONFIG_HOME=") + profile + QStringLiteral("/c"),
                            QStringLiteral("XDG_CACHE_HOME=") + profile + QStringLiteral("/c"),
                            QStringLiteral("XDG_DATA_HOME=") + home + QStringLiteral("/.local/share")};
    if (m_profile->isValid() && !trustCaFile(home, failure)) {
        m_profile.reset();
        return false;
    }
    m_process.setRendererMemoryCap(m_options.pageMemoryCap);
    QString error;
    if (!m_profile->isValid() || !QDir().mkpath(profile + QStringLiteral("/t"))
        || !m_process.start(program(), arguments(profile + QStringLiteral("/p")), environment, &error)) {
        m_profile.reset();
        *failure = QStringLiteral("the browser engine %1 could not be started: %2")
                       .arg(program(), error.isEmpty() ? QStringLiteral("no profile folder") : error);
        return false;
    }
    m_started = true;
    awaitIdle();
    m_connection->send(QStringLiteral("Target.setDiscoverTargets"), {{QStringLiteral("discover"), true}});
    // Answered before any page's context is made, so every page knows its user agent.
    m_connection->send(QStringLiteral("Browser.getVersion"), {}, {},
                       [this](const QJsonObject &result, const QString &) { m_identity.setEngineVersion(result); });
    return true;
}

bool ChromiumBrowser::trustCaFile(const QString &home, QString *failure)
{
    if (!m_options.checkCertificates || m_options.caCertificateFile.isEmpty())
        return true;
    // The engine reads its extra trust from $HOME/.pki/nssdb.
    QString error;
    if (!NssTrustStore::create(home, m_options.caCertificateFile, &error)) {
        *failure =
            QStringLiteral("the CA certificate file %1 cannot be used: %2").arg(m_options.caCertificateFile, error);
        return false;
    }
    return true;
}

QJsonObject ChromiumBrowser::contextParams() const
{
    if (m_options.proxyRules.isEmpty())
        return {};
    // The bypass list goes as given: "<-loopback>" sends loopback through the proxy too.
    return {{QStringLiteral("proxyServer"), m_options.proxyRules},
            {QStringLiteral("proxyBypassList"), m_options.proxyBypass}};
}

QList<BrowserCookie> ChromiumBrowser::cookies()
{
    // A row's cookies are read just after it ended.
    const QDeadlineTimer deadline(CookieReadMs);
    QTimer wake;
    wake.start(50);
    while (m_cookieJar.rowsExpected() > 0 && isRunning() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    return m_cookieJar.cookies(QDateTime::currentSecsSinceEpoch());
}

void ChromiumBrowser::shutdown(const QString &reason)
{
    stop(reason);
}

bool ChromiumBrowser::takeMemoryKill()
{
    m_memoryKills.erase(std::remove_if(m_memoryKills.begin(), m_memoryKills.end(),
                                       [](const QDeadlineTimer &kill) { return kill.hasExpired(); }),
                        m_memoryKills.end());
    if (m_memoryKills.isEmpty())
        return false;
    m_memoryKills.removeFirst();
    return true;
}

QString ChromiumBrowser::profilePath() const
{
    return m_profile ? m_profile->path() : QString();
}

void ChromiumBrowser::rowStarted()
{
    ++m_rowsLoading;
    m_idle.stop();
    m_process.setRowsLoading(m_rowsLoading);
}

void ChromiumBrowser::rowEnded()
{
    m_rowsLoading = qMax(0, m_rowsLoading - 1);
    m_process.setRowsLoading(m_rowsLoading);
    awaitIdle();
}

void ChromiumBrowser::setIdleLimit(int milliseconds)
{
    m_idleLimitMs = qMax(0, milliseconds);
    m_idle.stop();
    awaitIdle();
}

void ChromiumBrowser::awaitIdle()
{
    if (m_idleLimitMs > 0 && m_rowsLoading == 0 && isRunning()) {
        m_idleDeferred = false;
        m_idle.start(m_idleLimitMs);
    }
}

void ChromiumBrowser::onIdle()
{
    if (m_rowsLoading > 0 || !isRunning())
        return;
    if (m_cookieJar.rowsExpected() > 0 && !m_idleDeferred) {
        m_idleDeferred = true;
        m_idle.start(CookieReadMs);
        return;
    }
    stop(QStringLiteral("the browser engine was idle"));
}

void ChromiumBrowser::onRendererKilled()
{
    m_memoryKills.append(QDeadlineTimer(MemoryKillMs));
}

void ChromiumBrowser::onEnded(const QString &reason)
{
    stop(QStringLiteral("the browser engine stopped unexpectedly (%1)").arg(reason));
}

void ChromiumBrowser::stop(const QString &reason)
{
    if (!m_started)
        return;
    m_started = false;
    m_idle.stop();
    // No process of the engine may still be writing into the profile when it goes.
    m_process.stop();
    m_connection->reset();
    m_router->clear();
    m_profile.reset();
    m_memoryKills.clear();
    m_cookieJar.dropExpectedRows();
    Q_EMIT stopped(reason);
}
