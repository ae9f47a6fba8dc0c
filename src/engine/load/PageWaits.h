#pragma once

#include "engine/load/PagePoll.h"

#include <QDeadlineTimer>
#include <QJsonValue>
#include <QObject>
#include <QString>

#include <functional>

class IDevToolsSession;
struct EngineOptions;

// What a loaded row waits for before its settle, in this order: a fixed pause,
// scrolling the page and its panes to the bottom and back (engine/scripts/scroll.js,
// one step at a time), and an element matching a CSS selector that has a layout
// box (engine/scripts/selector.js, polled). Every wait ends at the row's page
// limit; the selector is still checked once when the limit is already up. A
// step the page does not answer before the limit (and within a second) means it hangs.
class PageWaits : public QObject
{
    Q_OBJECT

public:
    PageWaits(IDevToolsSession &session, const EngineOptions &options, QObject *parent = nullptr);

    void start(const QDeadlineTimer &deadline);
    void stop();

Q_SIGNALS:
    // The waits are over; `note` remarks on the page ("selector not found") or is empty.
    void finished(const QString &note);
    void failed(const QString &reason);
    void hung();

private:
    enum class Step { Pause, Scroll, ScrollBack, Selector, Done };

    void enter(Step step);
    void runStep();
    void evaluate(const QString &expression, std::function<void(const QJsonValue &)> onValue);
    void onScrolled(const QJsonValue &value);
    void onSelectorChecked(const QJsonValue &value);
    void endWith(const QString &note);
    void fail(const QString &reason);

    const int m_delayMs;
    const bool m_scroll;
    const QString m_selector;
    const bool m_requireSelector;
    QString m_scrollScript;
    QString m_selectorCheck;

    Step m_step = Step::Done;
    QDeadlineTimer m_deadline;
    int m_scrollSteps = 0;
    int m_stillSteps = 0; // steps at the bottom with the height unchanged
    double m_lastHeight = -1;
    PagePoll m_poll;
};
