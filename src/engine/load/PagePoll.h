#pragma once

#include "engine/devtools/IDevToolsSession.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// The timing of a wait that asks the page again and again: one evaluation at a
// time, given until a deadline (and at least a second) before the page counts
// as hung, and the pause before the next one.
class PagePoll : public QObject
{
    Q_OBJECT

public:
    explicit PagePoll(IDevToolsSession &session, QObject *parent = nullptr);

    // Evaluates `expression` in the page, by value; `onResult` gets the reply's
    // result unless the poll is stopped first.
    void evaluate(const QString &expression, const QDeadlineTimer &hangDeadline,
                  std::function<void(const QJsonObject &result)> onResult);
    bool isEvaluating() const { return m_evaluation != 0; }
    // `due` follows in `ms`.
    void after(int ms) { m_next.start(ms); }
    // Forgets the evaluation under way and the next one.
    void stop();

Q_SIGNALS:
    void due();
    // The page did not answer in time; the poll is stopped.
    void hung();

private:
    IDevToolsSession &m_session;
    quint64 m_evaluation = 0; // the one whose reply counts; 0: none
    quint64 m_lastEvaluation = 0;
    QTimer m_next;
    QTimer m_hang;
};
