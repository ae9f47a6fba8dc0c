#include "engine/load/PageSettle.h"

#include "engine/devtools/IDevToolsSession.h"

#include <QJsonArray>

#include <algorithm>

namespace {

constexpr int PollMs = 10;

} // namespace

PageSettle::PageSettle(IDevToolsSession &session, int quietSpellMs, int settleMs, QObject *parent)
    : QObject(parent), m_quietSpellMs(quietSpellMs), m_settleMs(settleMs), m_poll(session)
{
    m_clock.start();
    connect(&m_poll, &PagePoll::due, this, &PageSettle::poll);
    connect(&m_poll, &PagePoll::hung, this, [this] {
        stop();
        Q_EMIT hung();
    });
    session.on(QStringLiteral("Network.requestWillBeSent"), [this](const QJsonObject &params) { onRequest(params); });
    for (const QString &ended : {QStringLiteral("Network.loadingFinished"), QStringLiteral("Network.loadingFailed")})
        session.on(ended, [this](const QJsonObject &params) { onRequestEnded(params); });
}

void PageSettle::begin(const QString &frameId)
{
    stop();
    m_frameId = frameId;
    m_tracker = std::make_unique<SettleTracker>(m_quietSpellMs, m_settleMs);
}

void PageSettle::onRequest(const QJsonObject &params)
{
    if (!m_tracker)
        return;
    const QString type = params.value(QStringLiteral("type")).toString();
    // The main document is the load's, not the settle's.
    if (type == QLatin1String("Document") && params.value(QStringLiteral("frameId")).toString() == m_frameId)
        return;
    m_tracker->requestStarted(
        params.value(QStringLiteral("requestId")).toString(), type,
        params.value(QStringLiteral("request")).toObject().value(QStringLiteral("url")).toString(), m_clock.elapsed());
}

void PageSettle::onRequestEnded(const QJsonObject &params)
{
    if (m_tracker)
        m_tracker->requestEnded(params.value(QStringLiteral("requestId")).toString(), m_clock.elapsed());
}

void PageSettle::start(const QDeadlineTimer &hangDeadline)
{
    stop();
    m_hangDeadline = hangDeadline;
    m_tracker->start(m_clock.elapsed());
    poll();
}

void PageSettle::stop()
{
    m_poll.stop();
}

void PageSettle::poll()
{
    if (m_poll.isEvaluating())
        return;
    if (m_tracker->timeIsUp(m_clock.elapsed())) {
        stop();
        Q_EMIT settled();
        return;
    }
    m_poll.evaluate(QStringLiteral("window.__textorinSettle ? window.__textorinSettle() : null"), m_hangDeadline,
                    [this](const QJsonObject &result) { onSample(result); });
}

void PageSettle::onSample(const QJsonObject &result)
{
    const QJsonArray values =
        result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value")).toArray();
    SettleTracker::PageSample sample;
    // Without the page's tracker only the requests count.
    const bool tracked = values.size() == 3;
    sample.msSinceMutation = tracked ? qint64(values.at(0).toDouble()) : 1'000'000;
    sample.msSinceActivity = tracked ? qint64(values.at(1).toDouble()) : 1'000'000;
    sample.pending = tracked ? values.at(2).toInt() : 0;
    const qint64 now = m_clock.elapsed();
    if (m_tracker->settled(sample, now)) {
        stop();
        Q_EMIT settled();
        return;
    }
    // A calm page is asked again just when it may be taken.
    const qint64 untilCalm = m_tracker->msUntilCalm(sample, now);
    m_poll.after(untilCalm > 0 ? int(std::min<qint64>(untilCalm, PollMs)) : PollMs);
}
