#include "engine/PageSession.h"

#include "engine/ChromiumBrowser.h"
#include "engine/DevToolsRouter.h"
#include "engine/RequestInterception.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {

const QString AboutBlank = QStringLiteral("about:blank");
// The longest wait for the blank page that follows a failed row.
constexpr int BlankLoadMs = 5000;

} // namespace

PageSession::PageSession(ChromiumBrowser &browser, QObject *parent)
    : QObject(parent),
      m_browser(browser),
      m_connection(browser.connection()),
      m_cookies(browser.connection(), browser.cookieJar())
{
}

PageSession::~PageSession()
{
    if (!m_contextId.isEmpty() && m_browser.isRunning())
        m_connection.send(QStringLiteral("Target.disposeBrowserContext"),
                          {{QStringLiteral("browserContextId"), m_contextId}});
    drop();
}

void PageSession::send(const QString &method, const QJsonObject &params,
                       DevToolsConnection::Reply reply)
{
    m_connection.send(method, params, m_sessionId, whileAlive(std::move(reply)));
}

DevToolsConnection::Reply PageSession::whileAlive(DevToolsConnection::Reply reply)
{
    if (!reply)
        return {};
    return [alive = QPointer<PageSession>(this), reply](const QJsonObject &result, const QString &error) {
        if (alive)
            reply(result, error);
    };
}

// --- opening ------------------------------------------------------------------------

void PageSession::open()
{
    if (m_state != State::None)
        return;
    m_state = State::Opening;
    const quint64 epoch = ++m_epoch;
    openStep(epoch, QStringLiteral("Target.createBrowserContext"), m_browser.contextParams(),
             QStringLiteral("browserContextId"), [this, epoch](const QString &context) {
        m_contextId = context;
        addRoute(context);
        m_connection.send(QStringLiteral("Browser.setDownloadBehavior"),
                          {{QStringLiteral("behavior"), QStringLiteral("deny")},
                           {QStringLiteral("browserContextId"), context},
                           {QStringLiteral("eventsEnabled"), true}});
        putCookies(epoch);
        openStep(epoch, QStringLiteral("Target.createTarget"),
                 {{QStringLiteral("url"), AboutBlank}, {QStringLiteral("browserContextId"), context}},
                 QStringLiteral("targetId"), [this, epoch](const QString &target) {
            m_targetId = target;
            addRoute(target);
            openStep(epoch, QStringLiteral("Target.attachToTarget"),
                     {{QStringLiteral("targetId"), target}, {QStringLiteral("flatten"), true}},
                     QStringLiteral("sessionId"), [this](const QString &session) {
                m_sessionId = session;
                addRoute(session);
                enablePage();
            });
        });
    });
}

void PageSession::openStep(quint64 epoch, const QString &method, const QJsonObject &params,
                           const QString &resultKey, std::function<void(const QString &)> next)
{
    m_connection.send(method, params, {},
                      whileAlive([this, epoch, method, resultKey, next](const QJsonObject &result,
                                                                        const QString &error) {
        if (epoch != m_epoch)
            return;
        if (error.isEmpty()) {
            next(result.value(resultKey).toString());
            return;
        }
        // A browser that cannot open a page is of no use: the next row starts another.
        m_state = State::None;
        m_browser.shutdown(QStringLiteral("the browser engine could not open a page (%1: %2)")
                               .arg(method, error));
    }));
}

void PageSession::addRoute(const QString &id)
{
    m_browser.router().add(id, [this](const QString &method, const QJsonObject &params) {
        onEvent(method, params);
    });
}

void PageSession::enablePage()
{
    const EngineOptions &options = m_browser.options();
    send(QStringLiteral("Page.enable"));
    send(QStringLiteral("Network.enable"));
    send(QStringLiteral("Page.setLifecycleEventsEnabled"), {{QStringLiteral("enabled"), true}});
    sayIdentity();
    send(QStringLiteral("Fetch.enable"), RequestInterception::enableParams(options));
    if (options.settleMs > 0)
        send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
             {{QStringLiteral("source"), m_browser.settleScript()}});
    const quint64 epoch = m_epoch;
    send(QStringLiteral("Emulation.setDeviceMetricsOverride"),
         {{QStringLiteral("width"), options.windowSize.width()},
          {QStringLiteral("height"), options.windowSize.height()},
          {QStringLiteral("deviceScaleFactor"), 1},
          {QStringLiteral("mobile"), false}},
         [this, epoch](const QJsonObject &, const QString &) {
             if (epoch != m_epoch)
                 return;
             m_state = State::Ready;
             Q_EMIT ready();
         });
}

void PageSession::sayIdentity()
{
    const QJsonObject userAgent = m_browser.identity().userAgentOverride();
    if (!userAgent.isEmpty())
        send(QStringLiteral("Emulation.setUserAgentOverride"), userAgent);
    send(QStringLiteral("Emulation.setLocaleOverride"), m_browser.identity().localeOverride());
}

void PageSession::putCookies(quint64 epoch)
{
    ++m_resetPending;
    m_cookies.put(m_contextId, [this, epoch](const QString &error) {
        if (epoch != m_epoch)
            return;
        m_cookieFailure = error;
        resetStepDone(epoch);
    });
}

// --- events -------------------------------------------------------------------------

void PageSession::onEvent(const QString &method, const QJsonObject &params)
{
    if (method == QLatin1String("Target.targetCreated")) {
        closeOpenedWindow(params);
    } else if (method == QLatin1String("Target.targetCrashed")) {
        lose(crashReason(QStringLiteral(" (%1)").arg(params.value(QStringLiteral("status")).toString())));
    } else if (method == QLatin1String("Target.detachedFromTarget")
               || method == QLatin1String("Target.targetDestroyed")) {
        if (!m_targetId.isEmpty())
            lose(QStringLiteral("the page was closed by the browser engine"));
    } else if (method == QLatin1String("Browser.downloadWillBegin")) {
        Q_EMIT downloadStarted();
    } else if (!method.startsWith(QLatin1String("Target."))) {
        onPageEvent(method, params);
    }
}

void PageSession::closeOpenedWindow(const QJsonObject &params)
{
    // Windows the page opens are closed at once.
    const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
    const QString created = info.value(QStringLiteral("targetId")).toString();
    if (info.value(QStringLiteral("type")).toString() == QLatin1String("page")
        && !m_targetId.isEmpty() && created != m_targetId)
        m_connection.send(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), created}});
}

void PageSession::onPageEvent(const QString &method, const QJsonObject &params)
{
    // A page may change its address within its document without end (history
    // floods): nothing here follows that, so such events cost no more than this.
    if (method == QLatin1String("Page.navigatedWithinDocument"))
        return;
    const bool mainFrame = params.value(QStringLiteral("frameId")).toString() == m_targetId;
    if (method == QLatin1String("Page.lifecycleEvent") && mainFrame && !m_blankLoaderId.isEmpty()
        && params.value(QStringLiteral("loaderId")).toString() == m_blankLoaderId) {
        if (params.value(QStringLiteral("name")).toString() == QLatin1String("load"))
            m_blankLoaded = true;
        return;
    }
    if (method == QLatin1String("Page.frameStoppedLoading") && m_blankLoaded && mainFrame) {
        // The blank page is done once its frame stops loading after its load event.
        blankPageDone(m_epoch);
        return;
    }
    if (method == QLatin1String("Page.javascriptDialogOpening")) {
        const bool leave = params.value(QStringLiteral("type")).toString() == QLatin1String("beforeunload");
        send(QStringLiteral("Page.handleJavaScriptDialog"), {{QStringLiteral("accept"), leave}});
        return;
    }
    if (method == QLatin1String("Inspector.targetCrashed")) {
        lose(crashReason({}));
        return;
    }
    if (method == QLatin1String("Page.frameNavigated"))
        noteOrigin(params.value(QStringLiteral("frame")).toObject());
    Q_EMIT eventReceived(method, params);
}

void PageSession::noteOrigin(const QJsonObject &frame)
{
    // Subframes may navigate in a loop: only the main frame's origins are parsed.
    if (frame.contains(QStringLiteral("parentId")))
        return;
    const QUrl url(frame.value(QStringLiteral("url")).toString());
    if (url.scheme().startsWith(QLatin1String("http")))
        m_rowOrigins.insert(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                                         | QUrl::RemoveUserInfo).toString());
}

QString PageSession::crashReason(const QString &detail)
{
    if (m_browser.takeMemoryKill())
        return QStringLiteral("page used too much memory");
    return QStringLiteral("the page's renderer crashed") + detail;
}

void PageSession::lose(const QString &reason)
{
    recycle();
    Q_EMIT lost(reason);
}

// --- between rows -------------------------------------------------------------------

void PageSession::markUsed()
{
    m_used = true;
    m_rowOrigins.clear();
}

void PageSession::reset(bool blank)
{
    // The next row finds no cookies or storage of this one, whichever page it
    // lands on, and a failed row's error document is left for a blank one.
    if (m_state != State::Ready || !m_used)
        return;
    m_used = false;
    const quint64 epoch = m_epoch;
    const auto done = [this, epoch](const QJsonObject &, const QString &) { resetStepDone(epoch); };
    m_cookies.collect(m_contextId);
    ++m_resetPending;
    m_connection.send(QStringLiteral("Storage.clearCookies"),
                      {{QStringLiteral("browserContextId"), m_contextId}}, {}, whileAlive(done));
    putCookies(epoch);
    for (const QString &origin : std::as_const(m_rowOrigins)) {
        ++m_resetPending;
        send(QStringLiteral("Storage.clearDataForOrigin"),
             {{QStringLiteral("origin"), origin},
              {QStringLiteral("storageTypes"),
               QStringLiteral("local_storage,indexeddb,cache_storage,service_workers,"
                              "websql,file_systems")}},
             done);
    }
    if (!blank)
        return;
    ++m_resetPending;
    // The blank page must have loaded, or its last steps abort the next row's load.
    send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), AboutBlank}},
         [this, epoch](const QJsonObject &result, const QString &) {
             if (epoch != m_epoch)
                 return;
             m_blankLoaderId = result.value(QStringLiteral("loaderId")).toString();
             if (m_blankLoaderId.isEmpty()) {
                 resetStepDone(epoch);
                 return;
             }
             QTimer::singleShot(BlankLoadMs, this, [this, epoch] {
                 if (epoch == m_epoch && !m_blankLoaderId.isEmpty())
                     blankPageDone(epoch);
             });
         });
}

void PageSession::blankPageDone(quint64 epoch)
{
    m_blankLoaderId.clear();
    m_blankLoaded = false;
    resetStepDone(epoch);
}

void PageSession::resetStepDone(quint64 epoch)
{
    if (epoch != m_epoch || --m_resetPending > 0)
        return;
    Q_EMIT ready();
}

void PageSession::recycle()
{
    if (!m_contextId.isEmpty() && m_browser.isRunning()) {
        if (m_used)
            m_cookies.collect(m_contextId);
        if (!m_sessionId.isEmpty())
            send(QStringLiteral("Runtime.terminateExecution"));
        m_connection.send(QStringLiteral("Target.disposeBrowserContext"),
                          {{QStringLiteral("browserContextId"), m_contextId}});
    }
    drop();
    if (m_browser.isRunning())
        open();
}

void PageSession::drop()
{
    ++m_epoch;
    DevToolsRouter &router = m_browser.router();
    for (const QString &id : {m_contextId, m_targetId, m_sessionId})
        router.remove(id);
    m_state = State::None;
    m_contextId.clear();
    m_targetId.clear();
    m_sessionId.clear();
    m_used = false;
    m_resetPending = 0;
    m_blankLoaderId.clear();
    m_blankLoaded = false;
}
