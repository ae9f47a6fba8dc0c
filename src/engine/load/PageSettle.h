#pragma once

#include "engine/load/PagePoll.h"
#include "engine/load/SettleTracker.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <memory>

class IDevToolsSession;

// The settle of a loaded page: notes the page's own requests from its
// navigation on, then polls the page's tracker (engine/scripts/settle.js) until
// SettleTracker calls the page quiet or its settle time is up.
class PageSettle : public QObject
{
    Q_OBJECT

public:
    PageSettle(IDevToolsSession &session, int quietSpellMs, int settleMs, QObject *parent = nullptr);

    // A navigation of the main frame `frameId` starts: its requests count from now.
    void begin(const QString &frameId);
    // The page has loaded; a poll the page does not answer before `hangDeadline`
    // (and within a second) means it hangs.
    void start(const QDeadlineTimer &hangDeadline);
    void stop();

Q_SIGNALS:
    void settled();
    void hung();

private:
    void onRequest(const QJsonObject &params);
    void onRequestEnded(const QJsonObject &params);
    void poll();
    void onSample(const QJsonObject &result);

    const int m_quietSpellMs;
    const int m_settleMs;
    std::unique_ptr<SettleTracker> m_tracker;
    QString m_frameId;
    QElapsedTimer m_clock;
    QDeadlineTimer m_hangDeadline;
    PagePoll m_poll;
};
