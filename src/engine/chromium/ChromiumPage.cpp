#include "engine/chromium/ChromiumPage.h"

#include "engine/PageAddress.h"
#include "engine/chromium/BrowserIdentity.h"
#include "engine/chromium/ChromiumBrowser.h"
#include "engine/chromium/ConditionalProbe.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int BrowserStartMs = 30'000;
// The least time a load followed to a document of the page's own making is given.
constexpr int FollowLimitMs = 5000;

// "0.2 s", "2 s", "1.25 s": the seconds to the millisecond, without trailing zeros.
QString secondsText(qint64 ms)
{
    QString seconds = QString::number(double(ms) / 1000, 'f', 3);
    while (seconds.endsWith(QLatin1Char('0')))
        seconds.chop(1);
    if (seconds.endsWith(QLatin1Char('.')))
        seconds.chop(1);
    return seconds + QStringLiteral(" s");
}

// A time taken: whole seconds, or tenths below one.
QString elapsedText(qint64 ms)
{
    return secondsText(ms < 1000 ? std::max<qint64>(100, (ms + 50) / 100 * 100) : (ms + 500) / 1000 * 1000);
}

QStringList strings(const QJsonValue &array)
{
    QStringList result;
    for (const QJsonValue &value : array.toArray())
        result.append(value.toString());
    return result;
}

// The links in a page script's answer; none when it has none.
PageLinks linksOf(const QJsonObject &answer)
{
    const QJsonObject links = answer.value(QStringLiteral("links")).toObject();
    PageLinks result;
    result.follow = strings(links.value(QStringLiteral("follow")));
    result.nofollow = strings(links.value(QStringLiteral("nofollow")));
    result.pageNofollow = links.value(QStringLiteral("pageNofollow")).toBool();
    result.canonical = links.value(QStringLiteral("canonical")).toString();
    return result;
}

} // namespace

ChromiumPage::ChromiumPage(IEngineProcess &process, const EngineOptions &options, QObject *parent)
    : ChromiumPage(std::make_unique<ChromiumBrowser>(process, options), nullptr, parent)
{}

ChromiumPage::ChromiumPage(ChromiumBrowser &browser, QObject *parent) : ChromiumPage(nullptr, &browser, parent) {}

ChromiumPage::ChromiumPage(std::unique_ptr<ChromiumBrowser> own, ChromiumBrowser *shared, QObject *parent)
    : QObject(parent), m_ownBrowser(std::move(own)), m_browser(shared ? *shared : *m_ownBrowser),
      m_options(m_browser.options()), m_session(m_browser), m_watch(m_session, m_options.pageCap),
      m_settle(m_session, m_options.quietSpellMs, m_options.settleMs), m_interception(m_session, m_options),
      m_answer(m_session, m_options), m_waits(m_session, m_options)
{
    m_limit.setSingleShot(true);
    m_stage.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, &ChromiumPage::onLimit);
    connect(&m_stage, &QTimer::timeout, this, &ChromiumPage::onStageLimit);
    connect(&m_session, &PageSession::ready, this, &ChromiumPage::proceed);
    connect(&m_interception, &RequestInterception::mainDocumentResponse, &m_answer, &DocumentAnswer::takeResponse);
    connect(&m_interception, &RequestInterception::redirectRefused, this, &ChromiumPage::onRedirectRefused);
    connect(&m_interception, &RequestInterception::notModified, this, &ChromiumPage::onNotModified);
    connect(&m_answer, &DocumentAnswer::taken, this, &ChromiumPage::onAnswerTaken);
    connect(&m_answer, &DocumentAnswer::done, this, &ChromiumPage::onAnswer);
    connect(&m_session, &PageSession::lost, this, &ChromiumPage::onLost);
    connect(&m_watch, &DocumentWatch::changed, this, &ChromiumPage::check);
    connect(&m_watch, &DocumentWatch::followed, this, &ChromiumPage::onFollowed);
    connect(&m_watch, &DocumentWatch::runaway, this, &ChromiumPage::onRunaway);
    connect(&m_watch, &DocumentWatch::displaced, this, &ChromiumPage::onDisplaced);
    connect(&m_settle, &PageSettle::settled, this, &ChromiumPage::takeText);
    connect(&m_settle, &PageSettle::hung, this, &ChromiumPage::onStageLimit);
    connect(&m_waits, &PageWaits::finished, this, &ChromiumPage::afterWaits);
    connect(&m_waits, &PageWaits::failed, this, [this](const QString &reason) { fail(reason); });
    connect(&m_waits, &PageWaits::hung, this, &ChromiumPage::onStageLimit);
    connect(&m_browser, &ChromiumBrowser::stopped, this, &ChromiumPage::onBrowserStopped);
}

ChromiumPage::~ChromiumPage()
{
    disconnect(&m_browser, nullptr, this, nullptr);
    stopTimers();
    setLoading(false);
    if (m_ownBrowser)
        m_ownBrowser->shutdown();
}

QString ChromiumPage::unavailableReason() const
{
    return m_browser.unavailableReason();
}

void ChromiumPage::shutdown()
{
    m_browser.shutdown();
    stopTimers();
    m_session.drop();
}

// --- rows ---------------------------------------------------------------------------

void ChromiumPage::load(const QString &row)
{
    start(row, false, 0);
}

void ChromiumPage::setRowOptions(const std::optional<EngineOptions> &options)
{
    m_rowOptions = options;
    if (!options) {
        m_rowTextScript.clear();
        return;
    }
    // Rows of several rules take turns: each script is made once.
    const QStringList key{QString::number(int(options->form)),
                          QString::number(options->mainContent),
                          QString::number(options->pageCap),
                          QString::number(options->collectLinks),
                          options->selectParts,
                          options->removeParts};
    auto script = m_rowTextScripts.find(key);
    if (script == m_rowTextScripts.end())
        script = m_rowTextScripts.insert(key, ChromiumBrowser::textScriptFor(*options));
    m_rowTextScript = *script;
}

void ChromiumPage::loadBody(const QString &address, qint64 capBytes)
{
    start(address, true, capBytes);
}

void ChromiumPage::loadIfChanged(const QString &row, const PageValidators &validators)
{
    start(row, false, 0, validators);
}

void ChromiumPage::abort()
{
    if (!rowActive())
        return;
    // A late answer to the row's question is no longer this page's.
    ++m_rows;
    stopTimers();
    m_session.discard();
    m_phase = Phase::Idle;
    m_outcome = PageOutcome();
    setLoading(false);
}

void ChromiumPage::start(const QString &row, bool rawBody, qint64 capBytes, const PageValidators &validators)
{
    abort();
    setLoading(true);
    stopTimers();
    m_outcome = PageOutcome();
    m_timings = PageTimings();
    m_watch.clear();
    m_phase = Phase::WaitingForPage;
    m_rowClock.start();
    m_options = m_rowOptions ? *m_rowOptions : m_browser.options();

    const PageAddress address = PageAddress::fromRow(row);
    if (address.kind == PageAddress::Refuse) {
        fail(address.reason);
        return;
    }
    m_address = address.url;
    m_validators = validators;
    ++m_rows;
    m_answer.setRawBody(rawBody, capBytes);
    if (m_answer.takeFile(m_address) || !ensureBrowser())
        return;
    if (!m_validators.isEmpty() && m_browser.probe().serves(m_address)) {
        askFirst();
        return;
    }
    m_stage.start(BrowserStartMs);
    proceed();
}

// A page unchanged since its validators costs no context of its own; any other
// answer loads the row as usual.
void ChromiumPage::askFirst()
{
    m_phase = Phase::Asking;
    const auto answered = [this, self = QPointer<ChromiumPage>(this),
                           row = m_rows](const ConditionalProbe::Answer &answer) {
        if (!self || m_phase != Phase::Asking || row != m_rows)
            return;
        if (answer.notModified) {
            onNotModified(answer.finalUrl, answer.validators);
            return;
        }
        m_phase = Phase::WaitingForPage;
        m_stage.start(BrowserStartMs);
        proceed();
    };
    m_browser.probe().ask(m_address, m_validators, answered);
}

PageOutcome ChromiumPage::takeOutcome()
{
    if (m_phase == Phase::Idle)
        return PageOutcome::failedWith(QStringLiteral("no row was loaded"));
    if (rowActive()) {
        // The caller stopped waiting first.
        m_session.recycle();
        fail(timedOutText());
    }
    return m_outcome;
}

bool ChromiumPage::ensureBrowser()
{
    if (m_browser.isRunning())
        return true;
    // Starting anew drops every page of the browser that was; this row goes on.
    m_startingBrowser = true;
    QString failure;
    const bool running = m_browser.ensureRunning(&failure);
    m_startingBrowser = false;
    if (!running) {
        fail(failure);
        m_outcome.engineMissing = !m_browser.unavailableReason().isEmpty();
    }
    return running;
}

void ChromiumPage::proceed()
{
    if (m_phase != Phase::WaitingForPage || !ensureBrowser())
        return;
    m_session.open();
    if (m_session.isReady())
        navigate();
}

void ChromiumPage::navigate()
{
    m_stage.stop();
    m_phase = Phase::Loading;
    applyRowOptions();
    // A rule's own cookies go in beside the run's (which are in the browser's jar).
    const bool ownCookies = m_rowOptions && m_rowOptions->cookies != m_browser.options().cookies;
    const QList<BrowserCookie> ruleCookies = ownCookies ? m_rowOptions->cookies : QList<BrowserCookie>();
    m_session.startRow(QUrl(m_address).host(), ruleCookies, [this](const QString &cookieFailure) {
        if (m_phase != Phase::Loading)
            return;
        if (!cookieFailure.isEmpty()) {
            fail(cookieFailure);
            return;
        }
        m_timings.navigate = m_rowClock.elapsed();
        m_watch.begin(m_session.targetId());
        m_settle.begin(m_session.targetId());
        m_interception.begin(m_address, m_session.targetId(), m_validators);
        m_limit.start(m_options.pageLimitMs);
        m_limitDeadline.setRemainingTime(m_options.pageLimitMs);
        sendNavigate();
    });
}

void ChromiumPage::applyRowOptions()
{
    if (!m_rowOptions)
        return;
    const EngineOptions &engine = m_browser.options();
    if (m_options.userAgent != engine.userAgent) {
        BrowserIdentity identity = m_browser.identity();
        identity.setOptions(m_options);
        m_session.send(QStringLiteral("Emulation.setUserAgentOverride"), identity.userAgentOverride());
    }
    const QJsonObject interception = RequestInterception::enableParams(m_options);
    if (interception != RequestInterception::enableParams(engine))
        m_session.send(QStringLiteral("Fetch.enable"), interception);
}

void ChromiumPage::sendNavigate()
{
    m_session.send(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), m_address}},
                   [this](const QJsonObject &result, const QString &error) {
                       if (m_phase != Phase::Loading)
                           return;
                       if (error.isEmpty())
                           m_watch.navigated(result);
                       else
                           fail(error);
                   });
}

// --- the load -----------------------------------------------------------------------

void ChromiumPage::check()
{
    if (m_phase != Phase::Loading)
        return;
    const PageLoad &load = m_watch.load();
    noteTimings(load);
    if (load.failed())
        fail(load.failure(), load.mayPass(), load.retryAfterMs());
    else if (load.loaded() && !load.abortPending())
        loaded();
}

void ChromiumPage::noteTimings(const PageLoad &load)
{
    if (m_timings.response < 0 && (load.httpStatus() > 0 || !load.contentType().isEmpty()))
        m_timings.response = m_rowClock.elapsed();
    if (m_timings.parsed < 0 && load.parsed())
        m_timings.parsed = m_rowClock.elapsed();
}

void ChromiumPage::loaded()
{
    m_timings.loaded = m_rowClock.elapsed();
    // A document its page stopped (window.stop()) is saved as it stands.
    if (m_watch.load().stoppedEarly())
        m_outcome.note = QStringLiteral("load incomplete");
    startSettle();
}

void ChromiumPage::onFollowed()
{
    if (m_phase != Phase::Loading && m_phase != Phase::Settling)
        return;
    m_waits.stop();
    m_settle.stop();
    m_stage.stop();
    m_phase = Phase::Loading;
    m_limit.start(std::max(m_limit.remainingTime(), FollowLimitMs));
    m_limitDeadline.setRemainingTime(m_limit.remainingTime());
}

void ChromiumPage::onDisplaced()
{
    if (m_phase != Phase::Loading)
        return;
    m_watch.restart();
    m_settle.begin(m_session.targetId());
    sendNavigate();
}

void ChromiumPage::onRunaway()
{
    // A page that never stays would keep its row to the limit.
    if (m_phase == Phase::Loading || m_phase == Phase::Settling)
        fail(QStringLiteral("too many script navigations"));
}

void ChromiumPage::onLost(const QString &reason)
{
    if (rowActive())
        fail(reason);
}

void ChromiumPage::onBrowserStopped(const QString &reason)
{
    m_session.drop();
    m_waits.stop();
    m_settle.stop();
    if (rowActive() && !m_startingBrowser) {
        // Whichever page's trouble stopped the browser, this row did not fail by itself.
        fail(reason);
        m_outcome.lostToRestart = true;
    }
}

void ChromiumPage::onAnswerTaken()
{
    // The answer is no page: the browser's document is not the row's, and the
    // answer has the page limit (the rest of it, while loading) to be made.
    if (m_timings.response < 0)
        m_timings.response = m_rowClock.elapsed();
    m_settle.stop();
    m_stage.stop();
    m_watch.close();
    m_phase = Phase::Answering;
    if (!m_limit.isActive())
        m_limit.start(m_options.pageLimitMs);
    m_answer.setDeadline(QDeadlineTimer(m_limit.remainingTime()));
}

void ChromiumPage::onAnswer(const PageOutcome &outcome)
{
    if (!rowActive())
        return;
    m_outcome = outcome;
    complete();
}

void ChromiumPage::onRedirectRefused(const QString &reason)
{
    if (!rowActive())
        return;
    m_outcome = PageOutcome::failedWith(reason);
    m_outcome.refused = true;
    fillDocument();
    complete();
}

void ChromiumPage::onNotModified(const QString &url, const PageValidators &answered)
{
    if (!rowActive())
        return;
    m_timings.response = m_rowClock.elapsed();
    m_outcome = PageOutcome();
    m_outcome.notModified = true;
    m_outcome.httpStatus = 304;
    m_outcome.finalUrl = url;
    m_outcome.etag = answered.etag;
    m_outcome.lastModified = answered.lastModified;
    complete();
}

void ChromiumPage::onLimit()
{
    if (m_phase != Phase::Loading && m_phase != Phase::Answering)
        return;
    const PageLoad &load = m_watch.load();
    if (m_phase == Phase::Loading && load.parsed() && !load.failed()) {
        // The document is in; a stalled subresource keeps the load event away.
        m_outcome.note = QStringLiteral("load incomplete");
        m_session.send(QStringLiteral("Page.stopLoading"));
        m_timings.loaded = m_rowClock.elapsed();
        startSettle();
        return;
    }
    m_session.recycle();
    fail(QStringLiteral("timed out after %1").arg(secondsText(m_options.pageLimitMs)), true);
}

void ChromiumPage::onStageLimit()
{
    if (!rowActive())
        return;
    if (m_phase == Phase::WaitingForPage) {
        // The row never reached its page: the engine is restarted, and the row loses by it.
        const QString reason = QStringLiteral("%1 waiting for the browser engine").arg(timedOutText());
        fail(reason);
        m_outcome.lostToRestart = true;
        m_browser.shutdown(reason);
        return;
    }
    m_session.recycle();
    fail(QStringLiteral("%1 (the page's scripts did not yield)").arg(timedOutText()));
}

// --- settle and content -------------------------------------------------------------

void ChromiumPage::startSettle()
{
    m_limit.stop();
    m_phase = Phase::Settling;
    m_waits.start(m_limitDeadline);
}

void ChromiumPage::afterWaits(const QString &note)
{
    if (!note.isEmpty())
        m_outcome.note = m_outcome.note.isEmpty() ? note : m_outcome.note + QStringLiteral("; ") + note;
    if (m_options.settleMs <= 0 || m_watch.load().withinDocument())
        takeText();
    else
        m_settle.start(m_limitDeadline);
}

void ChromiumPage::takeText()
{
    if (m_phase != Phase::Settling)
        return;
    m_settle.stop();
    m_watch.close();
    m_phase = Phase::TakingText;
    m_timings.settled = m_rowClock.elapsed();
    m_stage.start(hangBoundMs(m_options.scriptLimitMs));
    m_session.send(QStringLiteral("Runtime.evaluate"),
                   {{QStringLiteral("expression"), m_rowOptions ? m_rowTextScript : m_browser.textScript()},
                    {QStringLiteral("returnByValue"), true}},
                   [this](const QJsonObject &result, const QString &error) {
                       if (m_phase == Phase::TakingText)
                           onText(result, error);
                   });
}

void ChromiumPage::onText(const QJsonObject &result, const QString &error)
{
    m_timings.text = m_rowClock.elapsed();
    if (!error.isEmpty()) {
        fail(QStringLiteral("the page's text could not be read (%1)").arg(error));
        return;
    }
    const QJsonObject value =
        result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value")).toObject();
    const QJsonValue text = value.value(QStringLiteral("text"));
    if (value.contains(QStringLiteral("noBody"))) {
        fail(QStringLiteral("the document has no body"));
    } else if (value.contains(QStringLiteral("tooLarge"))) {
        fail(m_watch.load().tooLargeText());
    } else if (result.contains(QStringLiteral("exceptionDetails")) || !text.isString()) {
        fail(QStringLiteral("the page's text could not be read"));
    } else if (value.value(QStringLiteral("selectNoMatch")).toBool() && m_options.requireSelector) {
        fail(QStringLiteral("selector matched nothing"));
    } else {
        m_outcome.selectNoMatch = value.value(QStringLiteral("selectNoMatch")).toBool();
        m_outcome.mainContentFallback = value.value(QStringLiteral("fallback")).toBool();
        m_outcome.formatFallback = value.value(QStringLiteral("formatFallback")).toString();
        m_outcome.title = value.value(QStringLiteral("title")).toString();
        m_outcome.lang = value.value(QStringLiteral("lang")).toString();
        m_outcome.metadata = PageMetadata::fromAnswer(value.value(QStringLiteral("metadata")).toObject());
        m_outcome.finalUrl = value.value(QStringLiteral("finalUrl")).toString();
        m_outcome.links = linksOf(value);
        finish(text.toString());
    }
}

// --- the outcome --------------------------------------------------------------------

void ChromiumPage::finish(const QString &text)
{
    m_outcome.content = text;
    fillDocument();
    complete();
}

void ChromiumPage::fail(const QString &reason, bool mayPass, int retryAfterMs)
{
    m_outcome = PageOutcome::failedWith(reason, mayPass);
    m_outcome.retryAfterMs = retryAfterMs;
    fillDocument();
    complete();
}

void ChromiumPage::fillDocument()
{
    m_outcome.httpStatus = m_watch.load().httpStatus();
    m_outcome.contentType = m_watch.load().contentType();
    m_outcome.redirects = m_watch.redirects();
    m_outcome.etag = m_watch.load().validators().etag;
    m_outcome.lastModified = m_watch.load().validators().lastModified;
}

void ChromiumPage::complete()
{
    m_phase = Phase::Done;
    m_outcome.timings = m_timings;
    noteWithheldCredentials();
    stopTimers();
    // Every row has a context of its own: nothing it left reaches the next one.
    m_session.endRow();
    setLoading(false);
    notifyDone();
}

void ChromiumPage::noteWithheldCredentials()
{
    const QStringList &origins = m_interception.withheldFrom();
    if (origins.isEmpty())
        return;
    const QString note =
        QStringLiteral("credentials not sent to %1, not the address's origin").arg(origins.join(QStringLiteral(", ")));
    QString &remarks = m_outcome.failed() ? m_outcome.failure : m_outcome.note;
    remarks = remarks.isEmpty() ? note : remarks + QStringLiteral("; ") + note;
}

void ChromiumPage::stopTimers()
{
    m_limit.stop();
    m_stage.stop();
    m_waits.stop();
    m_settle.stop();
    m_watch.close();
    m_interception.end();
    m_answer.stop();
}

void ChromiumPage::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    if (loading)
        m_browser.rowStarted();
    else
        m_browser.rowEnded();
}

int ChromiumPage::hangBoundMs(int least) const
{
    // A page that does not answer is hung once its limit is up.
    return int(std::max<qint64>(least, m_limitDeadline.remainingTime()));
}

QString ChromiumPage::timedOutText() const
{
    return QStringLiteral("timed out after %1").arg(elapsedText(m_rowClock.elapsed()));
}
