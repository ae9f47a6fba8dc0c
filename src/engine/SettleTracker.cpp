#include "engine/SettleTracker.h"

#include <QUrl>

#include <algorithm>

namespace {

// Streams, beacons and the engine's own favicon fetch never end a settle.
bool counts(const QString &type, const QString &url)
{
    if (type == QLatin1String("EventSource") || type == QLatin1String("WebSocket")
        || type == QLatin1String("Ping") || type == QLatin1String("CSPViolationReport")
        || type == QLatin1String("Preflight"))
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

void SettleTracker::requestStarted(const QString &requestId, const QString &type,
                                   const QString &url, qint64 now)
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
    qint64 end = m_start;
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
    const qint64 quiet = std::min(now - network, page.msSinceMutation);
    if (quiet >= m_spell)
        return true;
    const qint64 calm = std::min(now - network, page.msSinceActivity);
    return page.pending == 0 && youngInFlight == 0 && calm >= CalmMs;
}
