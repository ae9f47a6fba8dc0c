#pragma once

#include "engine/IPage.h"
#include "engine/EngineOptions.h"
#include "engine/PageLoad.h"
#include "engine/SettleTracker.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class ChromiumBrowser;
class DevToolsConnection;
class IEngineProcess;

// The hidden browser: one page of a headless Chromium, in a browser context of
// its own. Each row's page is followed by the identity of its own navigation;
// the row completes with the settled body text or with a failure that names the
// address. Several pages may share one engine and load at once.
class ChromiumPage : public QObject, public IPage
{
    Q_OBJECT

public:
    // A page with an engine of its own, started at the first navigation.
    explicit ChromiumPage(IEngineProcess &process, const EngineOptions &options = {},
                             QObject *parent = nullptr);
    // A page of a shared engine, which must outlive it.
    explicit ChromiumPage(ChromiumBrowser &engine, QObject *parent = nullptr);
    ~ChromiumPage() override;

    void load(const QString &row) override;
    bool isDone() const override { return m_phase == Phase::Done; }
    PageOutcome takeOutcome() override;
    QString unavailableReason() const override;

    // Ends the engine and removes its profile; the next navigation starts it again.
    void shutdown();

private:
    enum class Phase { Idle, WaitingForPage, Loading, Settling, TakingText, Done };
    enum class PageState { None, Creating, Ready };

    ChromiumPage(std::unique_ptr<ChromiumBrowser> own, ChromiumBrowser *shared, QObject *parent);
    bool ensureEngine();
    void createPage();
    // One command of opening the page; `next` gets the named result.
    void pageStep(quint64 epoch, const QString &method, const QJsonObject &params,
                  const QString &resultKey, std::function<void(const QString &)> next);
    void pageReady();
    void proceed();
    void sendNavigate();
    void onEvent(const QString &method, const QJsonObject &params, const QString &sessionId);
    void onPageEvent(const QString &method, const QJsonObject &params);
    void onEngineStopped(const QString &reason);
    void onLimit();
    void onStageLimit();
    void check();
    void startSettle();
    void pollSettle();
    void takeText();
    void finish(const QString &text);
    void fail(const QString &reason, bool mayPass = false);
    void complete();
    void stopTimers();
    void resetPage();
    void resetStepDone(quint64 epoch);
    void blankPageDone(quint64 epoch);
    void recyclePage();
    void dropPage();
    bool rowActive() const { return m_phase != Phase::Idle && m_phase != Phase::Done; }
    qint64 now() const { return m_clock.elapsed(); }
    int hangBoundMs(int least) const;
    QString secondsText(qint64 ms) const;

    std::unique_ptr<ChromiumBrowser> m_ownEngine;
    ChromiumBrowser &m_engine;
    DevToolsConnection *m_connection;
    const EngineOptions m_options;
    bool m_startingEngine = false;

    PageState m_pageState = PageState::None;
    quint64 m_pageEpoch = 0;
    QString m_contextId;
    QString m_targetId;
    QString m_sessionId;
    bool m_pageUsed = false; // a row has navigated it since its last reset
    int m_resetPending = 0;  // replies the reset still waits for
    QSet<QString> m_rowOrigins;
    QString m_blankLoaderId; // the blank page a reset waits to load
    bool m_blankLoaded = false;

    quint64 m_row = 0;
    Phase m_phase = Phase::Idle;
    QString m_rowText;
    QString m_address;
    PageLoad m_load;
    std::unique_ptr<SettleTracker> m_settle;
    QSet<QString> m_documentRequests;
    bool m_committed = false;
    int m_follows = 0;
    bool m_pollInFlight = false;
    PageOutcome m_outcome;

    QElapsedTimer m_clock;
    qint64 m_rowStart = 0;
    qint64 m_limitDeadline = 0;
    QTimer m_limit;
    QTimer m_stage;
    QTimer m_poll;
    QTimer m_abortWait;
};
