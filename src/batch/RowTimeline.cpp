#include "batch/RowTimeline.h"

#include "batch/TerminalText.h"

#include <QStringList>

namespace {

const char *const StepNames[] = {"ready", "answer", "parse", "load", "settle", "text", "hand-over", "write", "idle"};

} // namespace

QString RowTimeline::add(const QueuedRow &row, int page, const PageOutcome &outcome,
                         const IRunObserver::LoadTimes &times)
{
    const PageTimings &t = outcome.timings;
    // Each step's end, on the row's clock; a step not reached has none.
    const qint64 ends[] = {t.navigate,
                           t.response,
                           t.parsed,
                           t.loaded,
                           t.settled,
                           t.text,
                           times.endMs - times.startMs,
                           times.writtenMs < 0 ? -1 : times.writtenMs - times.startMs};
    QStringList parts;
    qint64 previous = 0;
    for (int step = 0; step < Steps - 1; ++step) {
        if (ends[step] < 0)
            continue;
        const qint64 spent = std::max<qint64>(0, ends[step] - previous);
        m_sums[step] += spent;
        ++m_counts[step];
        parts << QStringLiteral("%1 +%2").arg(QLatin1String(StepNames[step])).arg(spent);
        previous = ends[step];
    }
    const auto freeAt = m_pageFreeAt.constFind(page);
    if (freeAt != m_pageFreeAt.constEnd() && times.startMs >= *freeAt) {
        m_sums[Steps - 1] += times.startMs - *freeAt;
        ++m_counts[Steps - 1];
    }
    m_pageFreeAt.insert(page, times.writtenMs < 0 ? times.endMs : times.writtenMs);
    ++m_loads;
    return QStringLiteral("timeline: row %1 page %2 at %3 ms: %4 ms")
        .arg(row.number)
        .arg(page)
        .arg(times.startMs)
        .arg(parts.join(QStringLiteral(", ")));
}

QString RowTimeline::answer(const QueuedRow &row, const PageOutcome &outcome)
{
    QStringList parts{outcome.httpStatus > 0 ? QStringLiteral("status %1").arg(outcome.httpStatus)
                                             : QStringLiteral("no HTTP status")};
    if (!outcome.contentType.isEmpty())
        parts << TerminalText::escaped(outcome.contentType);
    if (!outcome.finalUrl.isEmpty())
        parts << QStringLiteral("final address ") + TerminalText::address(outcome.finalUrl);
    if (!outcome.redirects.isEmpty()) {
        QStringList chain{TerminalText::address(row.url)};
        for (const QString &target : outcome.redirects)
            chain << TerminalText::address(target);
        parts << QStringLiteral("redirects: ") + chain.join(QStringLiteral(" -> "));
    }
    if (outcome.failed())
        parts << QStringLiteral("failed: ") + TerminalText::escaped(outcome.failure.simplified());
    return QStringLiteral("row %1: %2").arg(row.number).arg(parts.join(QStringLiteral(", ")));
}

QString RowTimeline::summary() const
{
    if (m_loads == 0)
        return {};
    QStringList parts;
    for (int step = 0; step < Steps; ++step) {
        if (m_counts[step] == 0)
            continue;
        parts << QStringLiteral("%1 %2 ms (%3 per load)")
                     .arg(QLatin1String(StepNames[step]))
                     .arg(m_sums[step])
                     .arg(double(m_sums[step]) / m_counts[step], 0, 'f', 1);
    }
    return QStringLiteral("timeline: %1 loads; %2").arg(m_loads).arg(parts.join(QStringLiteral(", ")));
}
