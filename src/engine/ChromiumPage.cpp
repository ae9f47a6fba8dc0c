#include "engine/ChromiumPage.h"

#include "engine/ChromiumBrowser.h"
#include "engine/DevToolsConnection.h"
#include "engine/PageAddress.h"
#include "support/RuntimeError.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <algorithm>

namespace {

const QString AboutBlank = QStringLiteral("about:blank");
constexpr int PollMs = 25;
constexpr int EngineStartMs = 30'000;
// The longest wait for the blank page that follows a failed row.
constexpr int BlankLoadMs = 5000;
// How long an aborted load waits for the signs of a download.
constexpr int AbortWaitMs = 300;

// A response header's value, whatever the case of its name; null when absent.
QString headerValue(const QJsonObject &headers, QLatin1String name)
{
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value().toString().trimmed();
    }
    return {};
}

bool hasAttachmentHeader(const QJsonObject &headers)
{
    return headerValue(headers, QLatin1String("content-disposition"))
        .startsWith(QLatin1String("attachment"), Qt::CaseInsensitive);
}

// Retry-After in seconds or as an HTTP date; -1 when absent or unreadable.
int retryAfter(const QJsonObject &headers)
{
    const QString value = headerValue(headers, QLatin1String("retry-after"));
    if (value.isNull())
        return -1;
    bool number = false;
    const qint64 seconds = value.toLongLong(&number);
    if (number)
        return seconds < 0 ? -1 : int(qMin<qint64>(seconds, 86'400) * 1000);
    const QDateTime when = QDateTime::fromString(value, Qt::RFC2822Date);
    if (when.isValid())
        return int(std::clamp<qint64>(QDateTime::currentDateTimeUtc().msecsTo(when), 0, 86'400'000));
    return -1;
}

qint64 contentLength(const QJsonObject &headers)
{
    return headerValue(headers, QLatin1String("content-length")).toLongLong();
}

} // namespace

ChromiumPage::ChromiumPage(IEngineProcess &process, const EngineOptions &options,
                                 QObject *parent)
    : ChromiumPage(std::make_unique<ChromiumBrowser>(process, options), nullptr, parent)
{
}

ChromiumPage::ChromiumPage(ChromiumBrowser &engine, QObject *parent)
    : ChromiumPage(nullptr, &engine, parent)
{
}

ChromiumPage::ChromiumPage(std::unique_ptr<ChromiumBrowser> own, ChromiumBrowser *shared,
                                 QObject *parent)
    : QObject(parent),
      m_ownEngine(std::move(own)),
      m_engine(shared ? *shared : *m_ownEngine),
      m_connection(&m_engine.connection()),
      m_options(m_engine.options()),
      m_load(m_options.pageCap)
{
    m_clock.start();
    for (QTimer *timer : {&m_limit, &m_stage, &m_poll, &m_abortWait})
        timer->setSingleShot(true);
    connect(&m_abortWait, &QTimer::timeout, this, [this] {
        m_load.decideAbort();
        check();
    });
    connect(&m_limit, &QTimer::timeout, this, &ChromiumPage::onLimit);
    connect(&m_stage, &QTimer::timeout, this, &ChromiumPage::onStageLimit);
    connect(&m_poll, &QTimer::timeout, this, &ChromiumPage::pollSettle);
    connect(m_connection, &DevToolsConnection::event, this, &ChromiumPage::onEvent);
    connect(&m_engine, &ChromiumBrowser::stopped, this, &ChromiumPage::onEngineStopped);
}

ChromiumPage::~ChromiumPage()
{
    disconnect(&m_engine, nullptr, this, nullptr);
    stopTimers();
    if (m_ownEngine) {
        m_ownEngine->shutdown();
    } else if (!m_contextId.isEmpty() && m_engine.isRunning()) {
        m_connection->send(QStringLiteral("Target.disposeBrowserContext"),
                           {{QStringLiteral("browserContextId"), m_contextId}});
    }
}

QString ChromiumPage::unavailableReason() const
{
    return m_engine.unavailableReason();
}

void ChromiumPage::shutdown()
{
    m_engine.shutdown();
    stopTimers();
    dropPage();
}

// --- rows ---------------------------------------------------------------------------

void ChromiumPage::load(const QString &url)
{
    ++m_row;
    stopTimers();
    m_rowText = url;
    m_outcome = PageOutcome();
    m_load = PageLoad(m_options.pageCap);
    m_phase = Phase::WaitingForPage;
    m_rowStart = now();

    const PageAddress address = PageAddress::fromRow(url);
    if (address.kind == PageAddress::Refuse) {
        fail(address.reason);
        return;
    }
    m_address = address.url;
    if (!ensureEngine())
        return;
    m_stage.start(EngineStartMs);
    proceed();
}

PageOutcome ChromiumPage::takeOutcome()
{
    if (rowActive()) {
        // The caller stopped waiting first.
        fail(QStringLiteral("timed out after %1").arg(secondsText(now() - m_rowStart)));
        recyclePage();
    }
    return m_outcome;
}

bool ChromiumPage::ensureEngine()
{
    if (m_engine.isRunning())
        return true;
    // Starting anew drops every page of the engine that was; this row goes on.
    m_startingEngine = true;
    QString failure;
    const bool running = m_engine.ensureRunning(&failure);
    m_startingEngine = false;
    if (!running) {
        fail(failure);
        m_outcome.engineMissing = !m_engine.unavailableReason().isEmpty();
    }
    return running;
}

void ChromiumPage::createPage()
{
    m_pageState = PageState::Creating;
    const quint64 epoch = ++m_pageEpoch;
    pageStep(epoch, QStringLiteral("Target.createBrowserContext"), {},
             QStringLiteral("browserContextId"), [this, epoch](const QString &context) {
        m_contextId = context;
        m_connection->send(QStringLiteral("Browser.setDownloadBehavior"),
                           {{QStringLiteral("behavior"), QStringLiteral("deny")},
                            {QStringLiteral("browserContextId"), m_contextId},
                            {QStringLiteral("eventsEnabled"), true}});
        pageStep(epoch, QStringLiteral("Target.createTarget"),
                 {{QStringLiteral("url"), AboutBlank}, {QStringLiteral("browserContextId"), context}},
                 QStringLiteral("targetId"), [this, epoch](const QString &target) {
            m_targetId = target;
            pageStep(epoch, QStringLiteral("Target.attachToTarget"),
                     {{QStringLiteral("targetId"), target}, {QStringLiteral("flatten"), true}},
                     QStringLiteral("sessionId"), [this](const QString &session) {
                m_sessionId = session;
                pageReady();
            });
        });
    });
}

void ChromiumPage::pageStep(quint64 epoch, const QString &method, const QJsonObject &params,
                               const QString &resultKey, std::function<void(const QString &)> next)
{
    m_connection->send(method, params, {},
                       [this, epoch, method, resultKey, next](const QJsonObject &result,
                                                              const QString &error) {
        if (epoch != m_pageEpoch)
            return;
        if (error.isEmpty()) {
            next(result.value(resultKey).toString());
            return;
        }
        // An engine that cannot open a page is of no use: the next row starts another.
        m_pageState = PageState::None;
        const QString reason = QStringLiteral("the browser engine could not open a page (%1: %2)")
                                   .arg(method, error);
        if (rowActive())
            fail(reason);
        m_engine.shutdown(reason);
    });
}

void ChromiumPage::pageReady()
{
    const QString session = m_sessionId;
    const quint64 epoch = m_pageEpoch;
    m_connection->send(QStringLiteral("Page.enable"), {}, session);
    m_connection->send(QStringLiteral("Network.enable"), {}, session);
    m_connection->send(QStringLiteral("Page.setLifecycleEventsEnabled"),
                       {{QStringLiteral("enabled"), true}}, session);
    if (m_options.settleMs > 0)
        m_connection->send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
                           {{QStringLiteral("source"), m_engine.settleScript()}}, session);
    m_connection->send(QStringLiteral("Emulation.setDeviceMetricsOverride"),
                       {{QStringLiteral("width"), m_options.windowSize.width()},
                        {QStringLiteral("height"), m_options.windowSize.height()},
                        {QStringLiteral("deviceScaleFactor"), 1},
                        {QStringLiteral("mobile"), false}},
                       session, [this, epoch, session](const QJsonObject &, const QString &) {
                           if (epoch != m_pageEpoch)
                               return;
                           m_pageState = PageState::Ready;
                           proceed();
                       });
}

void ChromiumPage::proceed()
{
    if (m_phase != Phase::WaitingForPage)
        return;
    if (!ensureEngine())
        return;
    if (m_pageState == PageState::None)
        createPage();
    if (m_pageState == PageState::Ready && m_resetPending == 0)
        sendNavigate();
}

void ChromiumPage::sendNavigate()
{
    m_stage.stop();
    m_phase = Phase::Loading;
    m_pageUsed = true;
    m_rowOrigins.clear();
    m_load = PageLoad(m_options.pageCap);
    m_settle = std::make_unique<SettleTracker>(m_options.quietSpellMs, m_options.settleMs);
    m_documentRequests.clear();
    m_committed = false;
    m_follows = 0;
    m_limit.start(m_options.pageLimitMs);
    m_limitDeadline = now() + m_options.pageLimitMs;
    const quint64 row = m_row;
    m_connection->send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), m_address}},
                       m_sessionId, [this, row](const QJsonObject &result, const QString &error) {
                           if (row != m_row || m_phase != Phase::Loading)
                               return;
                           if (!error.isEmpty()) {
                               fail(error);
                               return;
                           }
                           m_load.navigated(result.value(QStringLiteral("loaderId")).toString(),
                                            result.value(QStringLiteral("errorText")).toString(),
                                            result.value(QStringLiteral("isDownload")).toBool());
                           check();
                       });
}

// --- events ---------------------------------------------------------------------------

void ChromiumPage::onEvent(const QString &method, const QJsonObject &params,
                              const QString &sessionId)
{
    if (!sessionId.isEmpty()) {
        if (sessionId == m_sessionId)
            onPageEvent(method, params);
        return;
    }
    const QString targetId = params.value(QStringLiteral("targetId")).toString();
    if (method == QLatin1String("Target.targetCreated")) {
        // Windows the page opens are closed at once.
        const QJsonObject info = params.value(QStringLiteral("targetInfo")).toObject();
        const QString created = info.value(QStringLiteral("targetId")).toString();
        if (info.value(QStringLiteral("type")).toString() == QLatin1String("page")
            && !m_targetId.isEmpty() && created != m_targetId
            && (info.value(QStringLiteral("openerId")).toString() == m_targetId
                || info.value(QStringLiteral("browserContextId")).toString() == m_contextId))
            m_connection->send(QStringLiteral("Target.closeTarget"),
                               {{QStringLiteral("targetId"), created}});
    } else if (method == QLatin1String("Target.targetCrashed") && targetId == m_targetId) {
        if (rowActive())
            fail(QStringLiteral("the page's renderer crashed (%1)")
                     .arg(params.value(QStringLiteral("status")).toString()));
        recyclePage();
    } else if ((method == QLatin1String("Target.detachedFromTarget")
                && params.value(QStringLiteral("sessionId")).toString() == m_sessionId)
               || (method == QLatin1String("Target.targetDestroyed") && targetId == m_targetId)) {
        if (m_targetId.isEmpty())
            return;
        if (rowActive())
            fail(QStringLiteral("the page was closed by the browser engine"));
        recyclePage();
    } else if (method == QLatin1String("Browser.downloadWillBegin")
               && params.value(QStringLiteral("frameId")).toString() == m_targetId) {
        m_load.download();
        check();
    }
}

void ChromiumPage::onPageEvent(const QString &method, const QJsonObject &params)
{
    const QString requestId = params.value(QStringLiteral("requestId")).toString();
    const bool mainFrame = params.value(QStringLiteral("frameId")).toString() == m_targetId;
    if (method == QLatin1String("Network.requestWillBeSent")) {
        const QString type = params.value(QStringLiteral("type")).toString();
        if (type == QLatin1String("Document") && mainFrame)
            m_documentRequests.insert(requestId);
        else if (m_settle)
            m_settle->requestStarted(requestId, type,
                                     params.value(QStringLiteral("request")).toObject()
                                         .value(QStringLiteral("url")).toString(),
                                     now());
    } else if (method == QLatin1String("Network.responseReceived")) {
        if (!m_documentRequests.contains(requestId))
            return;
        const QJsonObject response = params.value(QStringLiteral("response")).toObject();
        const QJsonObject headers = response.value(QStringLiteral("headers")).toObject();
        m_load.documentResponse(requestId, response.value(QStringLiteral("status")).toInt(),
                                response.value(QStringLiteral("statusText")).toString(),
                                hasAttachmentHeader(headers), contentLength(headers),
                                retryAfter(headers));
    } else if (method == QLatin1String("Network.responseReceivedExtraInfo")) {
        const int status = params.value(QStringLiteral("statusCode")).toInt();
        if (m_documentRequests.contains(requestId) && status >= 200 && status < 300
            && hasAttachmentHeader(params.value(QStringLiteral("headers")).toObject()))
            m_load.documentAttachment(requestId);
    } else if (method == QLatin1String("Network.dataReceived")) {
        if (m_documentRequests.contains(requestId))
            m_load.documentData(requestId, qint64(params.value(QStringLiteral("dataLength")).toDouble()));
    } else if (method == QLatin1String("Network.loadingFinished")) {
        if (m_settle)
            m_settle->requestEnded(requestId, now());
        return;
    } else if (method == QLatin1String("Network.loadingFailed")) {
        if (m_documentRequests.contains(requestId))
            m_load.documentFailed(requestId, params.value(QStringLiteral("errorText")).toString());
        else if (m_settle)
            m_settle->requestEnded(requestId, now());
    } else if (method == QLatin1String("Page.lifecycleEvent")) {
        if (!mainFrame)
            return;
        if (!m_blankLoaderId.isEmpty() && params.value(QStringLiteral("loaderId")).toString() == m_blankLoaderId
            && params.value(QStringLiteral("name")).toString() == QLatin1String("load")) {
            m_blankLoaded = true;
            return;
        }
        m_load.lifecycle(params.value(QStringLiteral("loaderId")).toString(),
                         params.value(QStringLiteral("name")).toString());
    } else if (method == QLatin1String("Page.frameNavigated")) {
        const QJsonObject frame = params.value(QStringLiteral("frame")).toObject();
        if (frame.contains(QStringLiteral("parentId")))
            return;
        const QString loaderId = frame.value(QStringLiteral("loaderId")).toString();
        const QUrl url(frame.value(QStringLiteral("url")).toString());
        if (url.scheme().startsWith(QLatin1String("http")))
            m_rowOrigins.insert(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                                             | QUrl::RemoveUserInfo).toString());
        if (loaderId == m_load.loaderId()) {
            m_committed = true;
        } else if (m_committed && (m_phase == Phase::Loading || m_phase == Phase::Settling)
                   && m_follows < 5) {
            // The page moved on by itself (script or refresh): its new document is the row's.
            ++m_follows;
            m_poll.stop();
            m_stage.stop();
            m_pollInFlight = false;
            m_load.follow(loaderId);
            m_phase = Phase::Loading;
            m_limit.start(std::max(m_limit.remainingTime(), 5000));
            m_limitDeadline = now() + m_limit.remainingTime();
        }
    } else if (method == QLatin1String("Page.frameStoppedLoading")) {
        // The blank page is done once its frame stops loading after its load event.
        if (m_blankLoaded && mainFrame)
            blankPageDone(m_pageEpoch);
        return;
    } else if (method == QLatin1String("Page.javascriptDialogOpening")) {
        const bool leave = params.value(QStringLiteral("type")).toString() == QLatin1String("beforeunload");
        m_connection->send(QStringLiteral("Page.handleJavaScriptDialog"),
                           {{QStringLiteral("accept"), leave}}, m_sessionId);
        return;
    } else if (method == QLatin1String("Page.downloadWillBegin")) {
        m_load.download();
    } else if (method == QLatin1String("Inspector.targetCrashed")) {
        if (rowActive())
            fail(QStringLiteral("the page's renderer crashed"));
        recyclePage();
        return;
    } else {
        return;
    }
    check();
}

void ChromiumPage::onEngineStopped(const QString &reason)
{
    dropPage();
    if (rowActive() && !m_startingEngine)
        fail(reason);
}

void ChromiumPage::onLimit()
{
    if (m_phase != Phase::Loading)
        return;
    if (m_load.parsed() && !m_load.failed()) {
        // The document is in; a stalled subresource keeps the load event away.
        m_outcome.note = QStringLiteral("load incomplete");
        m_connection->send(QStringLiteral("Page.stopLoading"), {}, m_sessionId);
        startSettle();
        return;
    }
    fail(QStringLiteral("timed out after %1").arg(secondsText(m_options.pageLimitMs)), true);
    recyclePage();
}

void ChromiumPage::onStageLimit()
{
    if (!rowActive())
        return;
    if (m_phase == Phase::WaitingForPage) {
        const QString reason = QStringLiteral("timed out after %1 waiting for the browser engine")
                                   .arg(secondsText(now() - m_rowStart));
        fail(reason);
        m_engine.shutdown(reason);
        return;
    }
    fail(QStringLiteral("timed out after %1 (the page's scripts did not yield)")
             .arg(secondsText(now() - m_rowStart)));
    recyclePage();
}

void ChromiumPage::check()
{
    if (m_phase != Phase::Loading)
        return;
    if (m_load.failed()) {
        m_outcome.retryAfterMs = m_load.retryAfterMs();
        fail(m_load.failure(), m_load.mayPass());
    } else if (m_load.abortPending()) {
        if (!m_abortWait.isActive())
            m_abortWait.start(AbortWaitMs);
    } else if (m_load.loaded()) {
        startSettle();
    }
}

// --- settle and text ------------------------------------------------------------------

void ChromiumPage::startSettle()
{
    m_limit.stop();
    m_phase = Phase::Settling;
    if (m_options.settleMs <= 0 || m_load.withinDocument()) {
        takeText();
        return;
    }
    m_settle->start(now());
    m_pollInFlight = false;
    pollSettle();
}

void ChromiumPage::pollSettle()
{
    if (m_phase != Phase::Settling || m_pollInFlight)
        return;
    if (m_settle->timeIsUp(now())) {
        takeText();
        return;
    }
    m_pollInFlight = true;
    m_stage.start(hangBoundMs(1000));
    const quint64 row = m_row;
    m_connection->send(
        QStringLiteral("Runtime.evaluate"),
        {{QStringLiteral("expression"),
          QStringLiteral("window.__textorinSettle ? window.__textorinSettle() : null")},
         {QStringLiteral("returnByValue"), true}},
        m_sessionId, [this, row](const QJsonObject &result, const QString &) {
            if (row != m_row || m_phase != Phase::Settling)
                return;
            m_pollInFlight = false;
            m_stage.stop();
            const QJsonArray values = result.value(QStringLiteral("result")).toObject()
                                          .value(QStringLiteral("value")).toArray();
            SettleTracker::PageSample sample;
            // Without the page's tracker only the requests count.
            sample.msSinceMutation = values.size() == 3 ? qint64(values.at(0).toDouble()) : 1'000'000;
            sample.msSinceActivity = values.size() == 3 ? qint64(values.at(1).toDouble()) : 1'000'000;
            sample.pending = values.size() == 3 ? values.at(2).toInt() : 0;
            if (m_settle->settled(sample, now()))
                takeText();
            else
                m_poll.start(PollMs);
        });
}

void ChromiumPage::takeText()
{
    m_poll.stop();
    m_phase = Phase::TakingText;
    m_stage.start(hangBoundMs(m_options.scriptLimitMs));
    const quint64 row = m_row;
    m_connection->send(
        QStringLiteral("Runtime.evaluate"),
        {{QStringLiteral("expression"), m_engine.textScript()}, {QStringLiteral("returnByValue"), true}},
        m_sessionId, [this, row](const QJsonObject &result, const QString &error) {
            if (row != m_row || m_phase != Phase::TakingText)
                return;
            if (!error.isEmpty()) {
                fail(QStringLiteral("the page's text could not be read (%1)").arg(error));
                return;
            }
            const QJsonObject value = result.value(QStringLiteral("result")).toObject()
                                          .value(QStringLiteral("value")).toObject();
            if (result.contains(QStringLiteral("exceptionDetails")) || value.isEmpty()) {
                fail(QStringLiteral("the page's text could not be read"));
            } else if (value.contains(QStringLiteral("noBody"))) {
                fail(QStringLiteral("the document has no body"));
            } else if (value.contains(QStringLiteral("tooLarge"))) {
                fail(m_load.tooLargeText());
            } else {
                m_outcome.mainContentFallback = value.value(QStringLiteral("fallback")).toBool();
                m_outcome.title = value.value(QStringLiteral("title")).toString();
                m_outcome.lang = value.value(QStringLiteral("lang")).toString();
                m_outcome.finalUrl = value.value(QStringLiteral("finalUrl")).toString();
                finish(value.value(QStringLiteral("text")).toString());
            }
        });
}

void ChromiumPage::finish(const QString &text)
{
    m_outcome.content = text;
    m_outcome.httpStatus = m_load.httpStatus();
    complete();
}

void ChromiumPage::fail(const QString &reason, bool mayPass)
{
    const int retryAfterMs = m_outcome.retryAfterMs;
    m_outcome = PageOutcome::failedWith(reason, mayPass);
    m_outcome.retryAfterMs = retryAfterMs;
    m_outcome.httpStatus = m_load.httpStatus();
    complete();
}

void ChromiumPage::complete()
{
    m_phase = Phase::Done;
    stopTimers();
    resetPage();
    notifyDone();
}

void ChromiumPage::stopTimers()
{
    m_limit.stop();
    m_stage.stop();
    m_poll.stop();
    m_abortWait.stop();
}

// --- the page -------------------------------------------------------------------------

void ChromiumPage::resetPage()
{
    // The next row finds no cookies or storage of this one, whichever page it
    // lands on, and a failed row's error document is left for a blank one.
    if (m_pageState != PageState::Ready || !m_pageUsed)
        return;
    m_pageUsed = false;
    const quint64 epoch = m_pageEpoch;
    const auto done = [this, epoch](const QJsonObject &, const QString &) { resetStepDone(epoch); };
    ++m_resetPending;
    m_connection->send(QStringLiteral("Storage.clearCookies"),
                       {{QStringLiteral("browserContextId"), m_contextId}}, {}, done);
    for (const QString &origin : std::as_const(m_rowOrigins)) {
        ++m_resetPending;
        m_connection->send(QStringLiteral("Storage.clearDataForOrigin"),
                           {{QStringLiteral("origin"), origin},
                            {QStringLiteral("storageTypes"),
                             QStringLiteral("local_storage,indexeddb,cache_storage,service_workers,"
                                            "websql,file_systems")}},
                           m_sessionId, done);
    }
    if (m_outcome.failed()) {
        ++m_resetPending;
        // The blank page must have loaded, or its last steps abort the next row's load.
        m_connection->send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), AboutBlank}},
                           m_sessionId, [this, epoch](const QJsonObject &result, const QString &) {
            if (epoch != m_pageEpoch)
                return;
            m_blankLoaderId = result.value(QStringLiteral("loaderId")).toString();
            if (m_blankLoaderId.isEmpty()) {
                resetStepDone(epoch);
                return;
            }
            QTimer::singleShot(BlankLoadMs, this, [this, epoch] {
                if (epoch == m_pageEpoch && !m_blankLoaderId.isEmpty())
                    blankPageDone(epoch);
            });
        });
    }
}

void ChromiumPage::blankPageDone(quint64 epoch)
{
    m_blankLoaderId.clear();
    m_blankLoaded = false;
    resetStepDone(epoch);
}

void ChromiumPage::resetStepDone(quint64 epoch)
{
    if (epoch != m_pageEpoch || --m_resetPending > 0)
        return;
    proceed();
}

void ChromiumPage::recyclePage()
{
    // A hung or crashed page goes with its context, renderer and all.
    if (!m_contextId.isEmpty() && m_engine.isRunning()) {
        if (!m_sessionId.isEmpty())
            m_connection->send(QStringLiteral("Runtime.terminateExecution"), {}, m_sessionId);
        m_connection->send(QStringLiteral("Target.disposeBrowserContext"),
                           {{QStringLiteral("browserContextId"), m_contextId}});
    }
    dropPage();
    if (m_engine.isRunning())
        createPage();
}

void ChromiumPage::dropPage()
{
    ++m_pageEpoch;
    m_pageState = PageState::None;
    m_contextId.clear();
    m_targetId.clear();
    m_sessionId.clear();
    m_pageUsed = false;
    m_resetPending = 0;
    m_blankLoaderId.clear();
    m_blankLoaded = false;
    m_pollInFlight = false;
}

int ChromiumPage::hangBoundMs(int least) const
{
    // A page that does not answer is hung once its limit is up.
    return int(std::max<qint64>(least, m_limitDeadline - now()));
}

QString ChromiumPage::secondsText(qint64 ms) const
{
    return QStringLiteral("%1 s").arg(qMax<qint64>(1, (ms + 500) / 1000));
}
