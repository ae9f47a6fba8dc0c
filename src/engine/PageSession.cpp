#include "engine/PageSession.h"

#include "engine/ChromiumBrowser.h"
#include "engine/DevToolsRouter.h"
#include "engine/RequestInterception.h"

#include <QPointer>

namespace {

const QString AboutBlank = QStringLiteral("about:blank");

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
        if (epoch != m_epoch) {
            // A context opened for a page that has since been dropped is of no use.
            if (method == QLatin1String("Target.createBrowserContext") && error.isEmpty() && m_browser.isRunning())
                m_connection.send(QStringLiteral("Target.disposeBrowserContext"),
                                  {{QStringLiteral("browserContextId"), result.value(resultKey).toString()}});
            return;
        }
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

void PageSession::startRow(const QString &host, std::function<void(const QString &)> done)
{
    m_used = true;
    const quint64 epoch = m_epoch;
    m_cookies.put(m_contextId, host, [this, alive = QPointer<PageSession>(this), epoch, done](const QString &error) {
        if (alive && epoch == m_epoch)
            done(error);
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
    if (method == QLatin1String("Page.javascriptDialogOpening")) {
        const bool leave = params.value(QStringLiteral("type")).toString() == QLatin1String("beforeunload");
        send(QStringLiteral("Page.handleJavaScriptDialog"), {{QStringLiteral("accept"), leave}});
        return;
    }
    if (method == QLatin1String("Inspector.targetCrashed")) {
        lose(crashReason({}));
        return;
    }
    Q_EMIT eventReceived(method, params);
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

void PageSession::endRow()
{
    if (m_used)
        recycle();
}

void PageSession::recycle()
{
    if (!m_contextId.isEmpty() && m_browser.isRunning()) {
        if (!m_sessionId.isEmpty())
            send(QStringLiteral("Runtime.terminateExecution"));
        // The context goes once its cookies are read; the next one opens meanwhile.
        const auto dispose = [connection = &m_connection, context = m_contextId] {
            connection->send(QStringLiteral("Target.disposeBrowserContext"),
                             {{QStringLiteral("browserContextId"), context}});
        };
        if (m_used)
            m_cookies.collect(m_contextId, dispose);
        else
            dispose();
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
}
