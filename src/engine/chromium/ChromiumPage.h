#pragma once

#include "engine/EngineOptions.h"
#include "engine/IPage.h"
#include "engine/answers/DocumentAnswer.h"
#include "engine/chromium/PageSession.h"
#include "engine/load/DocumentWatch.h"
#include "engine/load/PageSettle.h"
#include "engine/load/PageWaits.h"
#include "engine/load/RequestInterception.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <memory>

class ChromiumBrowser;
class IEngineProcess;

// One page of a headless Chromium, in a browser context of its own: the steps
// of a row, from its address to its outcome. The page waits for its session,
// navigates, lets its document watch follow the load, waits for what the options
// ask (PageWaits) and lets its settle decide when the page is quiet, then takes
// the content; each step has its limit. Several
// pages may share one browser and load at once.
class ChromiumPage : public QObject, public IPage
{
    Q_OBJECT

public:
    // A page with a browser of its own, started at the first navigation.
    explicit ChromiumPage(IEngineProcess &process, const EngineOptions &options = {}, QObject *parent = nullptr);
    // A page of a shared browser, which must outlive it.
    explicit ChromiumPage(ChromiumBrowser &browser, QObject *parent = nullptr);
    ~ChromiumPage() override;

    void load(const QString &row) override;
    void setRowOptions(const std::optional<EngineOptions> &options) override;
    void loadBody(const QString &address, qint64 capBytes = 0) override;
    void loadIfChanged(const QString &row, const PageValidators &validators) override;
    // Its context goes as a hung page's does, renderer, replies and cookies and all.
    void abort() override;
    bool isDone() const override { return m_phase == Phase::Done; }
    PageOutcome takeOutcome() override;
    qint64 requestedAtMs() const override { return m_watch.requestedAtMs(); }
    QString unavailableReason() const override;
    void setRedirectCheck(RedirectCheck check) override { m_interception.setRedirectCheck(std::move(check)); }

    // Ends the browser and removes its profile; the next navigation starts it again.
    void shutdown();

private:
    enum class Phase { Idle, Asking, WaitingForPage, Loading, Answering, Settling, TakingText, Done };

    ChromiumPage(std::unique_ptr<ChromiumBrowser> own, ChromiumBrowser *shared, QObject *parent);
    void start(const QString &row, bool rawBody, qint64 capBytes, const PageValidators &validators = {});
    bool ensureBrowser();
    void proceed();
    // Asks the browser's probe first whether the row's document changed.
    void askFirst();
    void navigate();
    // Tells the row's context what its rule changes of the browser's options.
    void applyRowOptions();
    void sendNavigate();
    void check();
    void noteTimings(const PageLoad &load);
    void loaded();
    void onFollowed();
    void onDisplaced();
    void onRunaway();
    void onLost(const QString &reason);
    void onBrowserStopped(const QString &reason);
    void onAnswerTaken();
    void onAnswer(const PageOutcome &outcome);
    void onRedirectRefused(const QString &reason);
    void onNotModified(const QString &url, const PageValidators &answered);
    void onLimit();
    void onStageLimit();
    void startSettle();
    void afterWaits(const QString &note);
    void takeText();
    void onText(const QJsonObject &result, const QString &error);
    void finish(const QString &text);
    void fail(const QString &reason, bool mayPass = false, int retryAfterMs = -1);
    void fillDocument();
    void complete();
    void noteWithheldCredentials();
    void stopTimers();
    // Counts the row among the browser's rows loading, or no longer.
    void setLoading(bool loading);
    bool rowActive() const { return m_phase != Phase::Idle && m_phase != Phase::Done; }
    int hangBoundMs(int least) const;
    QString timedOutText() const;

    std::unique_ptr<ChromiumBrowser> m_ownBrowser;
    ChromiumBrowser &m_browser;
    // The row's options: the browser's (which may change between rows) or its rule's.
    EngineOptions m_options;
    std::optional<EngineOptions> m_rowOptions;
    QString m_rowTextScript; // for m_rowOptions
    QHash<QStringList, QString> m_rowTextScripts; // by what the script depends on
    bool m_startingBrowser = false;
    bool m_loading = false; // counted among the browser's rows loading

    PageSession m_session;
    DocumentWatch m_watch;
    PageSettle m_settle;
    RequestInterception m_interception;
    DocumentAnswer m_answer;
    PageWaits m_waits;

    Phase m_phase = Phase::Idle;
    QString m_address;
    PageValidators m_validators; // the row's, sent with its main document
    quint64 m_rows = 0; // rows started: a late answer to an earlier one's question is not this one's
    PageOutcome m_outcome;
    PageTimings m_timings;

    QElapsedTimer m_rowClock;
    QDeadlineTimer m_limitDeadline;
    QTimer m_limit; // the page limit of the load
    QTimer m_stage; // the wait for the browser, and for the content
};
