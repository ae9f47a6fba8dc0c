#include "engine/chromium/PageSession.h"

#include "engine/chromium/ChromiumBrowser.h"

#include <QPointer>

PageSession::PageSession(ChromiumBrowser &browser, QObject *parent)
    : QObject(parent), m_browser(browser), m_cookies(browser.connection(), browser.cookieJar())
{
    on(QStringLiteral("Target.targetCreated"), [this](const QJsonObject &params) { closeOpenedWindow(params); });
    on(QStringLiteral("Target.targetCrashed"), [this](const QJsonObject &params) {
        lose(crashReason(QStringLiteral(" (%1)").arg(params.value(QStringLiteral("status")).toString())));
    });
    on(QStringLiteral("Inspector.targetCrashed"), [this](const QJsonObject &) { lose(crashReason({})); });
    for (const QString &closed :
         {QStringLiteral("Target.detachedFromTarget"), QStringLiteral("Target.targetDestroyed")})
        on(closed, [this](const QJsonObject &) { lose(QStringLiteral("the page was closed by the browser engine")); });
    on(QStringLiteral("Page.javascriptDialogOpening"), [this](const QJsonObject &params) { answerDialog(params); });
}

PageSession::~PageSession() = default;

void PageSession::send(const QString &method, const QJsonObject &params, Reply reply)
{
    if (m_page)
        m_page->send(method, params, whileCurrent(std::move(reply)));
}

void PageSession::on(const QString &method, Handler handler)
{
    m_handlers[method].append(std::move(handler));
}

IDevToolsSession::Reply PageSession::whileCurrent(Reply reply)
{
    if (!reply)
        return {};
    // A context goes with its session at the latest: while it lives, so does the session.
    return
        [this, sender = QPointer<PageContext>(m_page.get()), reply](const QJsonObject &result, const QString &error) {
            if (sender && sender == m_page.get())
                reply(result, error);
        };
}

// --- opening ------------------------------------------------------------------------

void PageSession::open()
{
    if (m_page || !m_browser.isRunning())
        return;
    m_page = nextContext();
    m_page->setHandler([this](const QString &method, const QJsonObject &params) { onEvent(method, params); });
    connect(m_page.get(), &PageContext::ready, this, &PageSession::onPageReady);
    if (m_page->isReady())
        onPageReady();
}

std::unique_ptr<PageContext> PageSession::nextContext()
{
    // Every option a context is opened with restarts the engine when it changes:
    // a spare is always of the options in force.
    std::unique_ptr<PageContext> next = std::move(m_spare);
    if (!next)
        next = std::make_unique<PageContext>(m_browser);
    next->open();
    return next;
}

void PageSession::openSpare()
{
    if (m_spare || !m_browser.isRunning())
        return;
    m_spare = std::make_unique<PageContext>(m_browser);
    m_spare->setHandler([this](const QString &method, const QJsonObject &) { onSpareEvent(method); });
    m_spare->open();
}

void PageSession::onPageReady()
{
    if (isReady())
        Q_EMIT ready();
}

void PageSession::startRow(const QString &host, const QList<BrowserCookie> &ruleCookies,
                           std::function<void(const QString &)> done)
{
    m_used = true;
    const Reply put = whileCurrent([done](const QJsonObject &, const QString &error) { done(error); });
    m_cookies.put(m_page->contextId(), host, ruleCookies, [put](const QString &error) { put({}, error); });
    // The next row's context opens while this row loads.
    openSpare();
}

// --- events -------------------------------------------------------------------------

void PageSession::onEvent(const QString &method, const QJsonObject &params)
{
    // Events nobody handles end here: a page may change its address within its
    // document without end (history floods), and nothing follows that.
    const auto found = m_handlers.constFind(method);
    if (found == m_handlers.cend())
        return;
    // A copy: a handler may end the row, and with it the context this event came from.
    const QList<Handler> handlers = *found;
    for (const Handler &handler : handlers)
        handler(params);
}

void PageSession::onSpareEvent(const QString &method)
{
    // A spare that crashed or closed is of no use; the next row opens another.
    if (method == QLatin1String("Target.targetCrashed") || method == QLatin1String("Target.detachedFromTarget")
        || method == QLatin1String("Target.targetDestroyed") || method == QLatin1String("Inspector.targetCrashed"))
        m_spare.reset();
}

void PageSession::closeOpenedWindow(const QJsonObject &params)
{
    // Windows the page opens are closed at once.
    const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
    const QString created = info.value(QStringLiteral("targetId")).toString();
    if (info.value(QStringLiteral("type")).toString() == QLatin1String("page") && !targetId().isEmpty()
        && created != targetId())
        m_browser.connection().send(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), created}});
}

void PageSession::answerDialog(const QJsonObject &params)
{
    const bool leave = params.value(QStringLiteral("type")).toString() == QLatin1String("beforeunload");
    send(QStringLiteral("Page.handleJavaScriptDialog"), {{QStringLiteral("accept"), leave}});
}

QString PageSession::crashReason(const QString &detail)
{
    if (m_browser.takeMemoryKill())
        return QStringLiteral("page used too much memory");
    return QStringLiteral("the page's renderer crashed") + detail;
}

void PageSession::lose(const QString &reason)
{
    // Whatever ended the page (the system's OOM killer, say) may have ended the spare too.
    m_spare.reset();
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
    replace(true);
}

void PageSession::discard()
{
    if (m_used)
        replace(false);
}

void PageSession::replace(bool keepCookies)
{
    if (m_page) {
        PageContext *old = m_page.release();
        old->retire();
        // The context goes once its row's cookies are read (or with the session).
        old->setParent(this);
        if (keepCookies && m_used && !old->contextId().isEmpty() && m_browser.isRunning())
            m_cookies.collect(old->contextId(), [old = QPointer<PageContext>(old)] { delete old; });
        else
            delete old;
    }
    m_used = false;
    open();
}

void PageSession::drop()
{
    qDeleteAll(findChildren<PageContext *>(QString(), Qt::FindDirectChildrenOnly));
    m_page.reset();
    m_spare.reset();
    m_used = false;
}
