#include "engine/chromium/PageContext.h"

#include "engine/chromium/ChromiumBrowser.h"
#include "engine/load/RequestInterception.h"

#include <QPointer>

namespace {

const QString ContextKey = QStringLiteral("browserContextId");

} // namespace

PageContext::PageContext(ChromiumBrowser &browser, QObject *parent)
    : QObject(parent), m_browser(browser), m_connection(browser.connection())
{}

PageContext::~PageContext()
{
    removeRoutes();
    if (!m_contextId.isEmpty() && m_browser.isRunning())
        m_connection.send(QStringLiteral("Target.disposeBrowserContext"), {{ContextKey, m_contextId}});
}

void PageContext::send(const QString &method, const QJsonObject &params, DevToolsConnection::Reply reply)
{
    if (!m_sessionId.isEmpty())
        m_connection.send(method, params, m_sessionId, whileAlive(std::move(reply)));
}

DevToolsConnection::Reply PageContext::whileAlive(DevToolsConnection::Reply reply)
{
    if (!reply)
        return {};
    return [alive = QPointer<PageContext>(this), reply](const QJsonObject &result, const QString &error) {
        if (alive)
            reply(result, error);
    };
}

void PageContext::retire()
{
    send(QStringLiteral("Runtime.terminateExecution"));
    removeRoutes();
    m_handler = {};
}

void PageContext::open()
{
    if (m_opening || m_ready)
        return;
    m_opening = true;
    openStep(QStringLiteral("Target.createBrowserContext"), m_browser.contextParams(), ContextKey,
             [this](const QString &context) {
                 m_contextId = context;
                 addRoute(context);
                 m_connection.send(QStringLiteral("Browser.setDownloadBehavior"),
                                   {{QStringLiteral("behavior"), QStringLiteral("deny")},
                                    {ContextKey, context},
                                    {QStringLiteral("eventsEnabled"), true}});
                 openStep(QStringLiteral("Target.createTarget"),
                          {{QStringLiteral("url"), QStringLiteral("about:blank")}, {ContextKey, context}},
                          QStringLiteral("targetId"), [this](const QString &target) {
                              m_targetId = target;
                              addRoute(target);
                              openStep(QStringLiteral("Target.attachToTarget"),
                                       {{QStringLiteral("targetId"), target}, {QStringLiteral("flatten"), true}},
                                       QStringLiteral("sessionId"), [this](const QString &session) {
                                           m_sessionId = session;
                                           addRoute(session);
                                           enablePage();
                                       });
                          });
             });
}

void PageContext::openStep(const QString &method, const QJsonObject &params, const QString &resultKey,
                           std::function<void(const QString &)> next)
{
    m_connection.send(method, params, {},
                      [self = QPointer<PageContext>(this), connection = &m_connection, method, resultKey,
                       next](const QJsonObject &result, const QString &error) {
                          if (!self) {
                              // A context opened for a page that has since gone is of no use.
                              if (method == QLatin1String("Target.createBrowserContext") && error.isEmpty())
                                  connection->send(QStringLiteral("Target.disposeBrowserContext"),
                                                   {{ContextKey, result.value(resultKey).toString()}});
                              return;
                          }
                          if (error.isEmpty()) {
                              next(result.value(resultKey).toString());
                              return;
                          }
                          // A browser that cannot open a page is of no use: the next row starts another.
                          self->m_opening = false;
                          self->m_browser.shutdown(
                              QStringLiteral("the browser engine could not open a page (%1: %2)").arg(method, error));
                      });
}

void PageContext::addRoute(const QString &id)
{
    m_browser.router().add(id, [self = QPointer<PageContext>(this)](const QString &method, const QJsonObject &params) {
        if (!self || !self->m_handler)
            return;
        // A copy: the handler may end this context.
        const DevToolsRouter::Handler handler = self->m_handler;
        handler(method, params);
    });
}

void PageContext::removeRoutes()
{
    DevToolsRouter &router = m_browser.router();
    for (const QString &id : {m_contextId, m_targetId, m_sessionId})
        router.remove(id);
}

void PageContext::enablePage()
{
    const EngineOptions &options = m_browser.options();
    send(QStringLiteral("Page.enable"));
    send(QStringLiteral("Network.enable"));
    send(QStringLiteral("Page.setLifecycleEventsEnabled"), {{QStringLiteral("enabled"), true}});
    const QJsonObject userAgent = m_browser.identity().userAgentOverride();
    if (!userAgent.isEmpty())
        send(QStringLiteral("Emulation.setUserAgentOverride"), userAgent);
    send(QStringLiteral("Emulation.setLocaleOverride"), m_browser.identity().localeOverride());
    send(QStringLiteral("Fetch.enable"), RequestInterception::enableParams(options));
    if (options.settleMs > 0)
        send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
             {{QStringLiteral("source"), m_browser.settleScript()}});
    send(QStringLiteral("Emulation.setDeviceMetricsOverride"),
         {{QStringLiteral("width"), options.windowSize.width()},
          {QStringLiteral("height"), options.windowSize.height()},
          {QStringLiteral("deviceScaleFactor"), 1},
          {QStringLiteral("mobile"), false}},
         [this](const QJsonObject &, const QString &) {
             m_opening = false;
             m_ready = true;
             Q_EMIT ready();
         });
}
