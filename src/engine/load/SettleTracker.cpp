#include "engine/load/SettleTracker.h"

#include <QUrl>

#include <algorithm>
#include <limits>

namespace {

// Streams, beacons and the engine's own favicon fetch never end a settle.
bool counts(const QString &type, const QString &url)
{
    if (type == QLatin1String("EventSource") || type == QLatin1String("WebSocket") || type == QLatin1String("Ping")
        || type == QLatin1String("CSPViolationReport") || type == QLatin1String("Preflight"))
        return false;
    return !(type == QLatin1String("Other") && QUrl(url).path().endsWith(QLatin1String("/favicon.ico")));
}

} // namespace

void SettleTracker::start(qint64 now)
{
    m_start = now;
    // Requests long finished have no say in this settle.
    for (auto it = m_requests.begin(); it != m_requests.end();) {
        if (it->ended >= 0 && now - it->ended > m_spell)
            it = m_requests.erase(it);
        else
            ++it;
    }
}

void SettleTracker::requestStarted(const QString &requestId, const QString &type, const QString &url, qint64 now)
{
    if (counts(type, url) && !m_requests.contains(requestId))
        m_requests.insert(requestId, Request{now, -1});
}

void SettleTracker::requestEnded(const QString &requestId, qint64 now)
{
    const auto found = m_requests.find(requestId);
    if (found != m_requests.end() && found->ended < 0)
        found->ended = now;
}

qint64 SettleTracker::networkActivityEnd(qint64 now, int *youngInFlight) const
{
    qint64 end = std::numeric_limits<qint64>::min() / 2;
    int young = 0;
    for (const Request &request : m_requests) {
        const qint64 until = request.ended >= 0 ? request.ended : now;
        end = std::max(end, std::min(until, request.started + m_spell));
        if (request.ended < 0 && now - request.started < m_spell)
            ++young;
    }
    *youngInFlight = young;
    return end;
}

bool SettleTracker::settled(const PageSample &page, qint64 now) const
{
    if (timeIsUp(now))
        return true;
    int youngInFlight = 0;
    const qint64 network = networkActivityEnd(now, &youngInFlight);
    // For the quiet spell the load event counts as activity.
    const qint64 quiet = std::min(now - std::max(network, m_start), page.msSinceMutation);
    if (quiet >= m_spell)
        return true;
    return untilCalm(page, now, network, youngInFlight) == 0;
}

qint64 SettleTracker::msUntilCalm(const PageSample &page, qint64 now) const
{
    int youngInFlight = 0;
    const qint64 network = networkActivityEnd(now, &youngInFlight);
    return untilCalm(page, now, network, youngInFlight);
}

qint64 SettleTracker::untilCalm(const PageSample &page, qint64 now, qint64 network, int youngInFlight) const
{
    if (page.pending > 0 || youngInFlight > 0)
        return -1;
    // Calm counts from the page's last activity, which may be before its load event.
    const qint64 calm = std::min(now - network, page.msSinceActivity);
    return std::max<qint64>(0, CalmMs - calm);
}
