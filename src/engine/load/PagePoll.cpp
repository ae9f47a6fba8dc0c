#include "engine/load/PagePoll.h"

#include <algorithm>

namespace {

// The least time an evaluation is given before the page counts as hung.
constexpr int LeastEvaluationMs = 1000;

} // namespace

PagePoll::PagePoll(IDevToolsSession &session, QObject *parent) : QObject(parent), m_session(session)
{
    m_next.setSingleShot(true);
    m_hang.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &PagePoll::due);
    connect(&m_hang, &QTimer::timeout, this, [this] {
        stop();
        Q_EMIT hung();
    });
}

void PagePoll::evaluate(const QString &expression, const QDeadlineTimer &hangDeadline,
                        std::function<void(const QJsonObject &)> onResult)
{
    m_hang.start(int(std::max<qint64>(LeastEvaluationMs, hangDeadline.remainingTime())));
    const quint64 evaluation = m_evaluation = ++m_lastEvaluation;
    m_session.send(QStringLiteral("Runtime.evaluate"),
                   {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
                   [this, evaluation, onResult](const QJsonObject &result, const QString &) {
                       // The session drops the replies of ended rows; this one's wait may have stopped.
                       if (evaluation != m_evaluation)
                           return;
                       m_evaluation = 0;
                       m_hang.stop();
                       onResult(result);
                   });
}

void PagePoll::stop()
{
    m_evaluation = 0;
    m_next.stop();
    m_hang.stop();
}
