#pragma once

#include "capture/IRunObserver.h"

#include <QHash>
#include <QString>

#include <array>

// What -v prints of each load: what it answered, when it reached each step, and
// at the end of the run the time of every step summed over the loads, so that a
// run shows where its time went.
class RowTimeline
{
public:
    // One line for the load, which is counted in the sums.
    QString add(const QueuedRow &row, int page, const PageOutcome &outcome, const IRunObserver::LoadTimes &times);
    // What the load came to, one line: the HTTP status, the content type, the
    // final address and the redirects that led there, or why it failed.
    static QString answer(const QueuedRow &row, const PageOutcome &outcome);
    // The sums, one line; empty before any load.
    QString summary() const;

private:
    // The steps in order: the page made ready, the document's answer, parsing,
    // the load event, waits and settle, the text, its hand-over, the write, and
    // the page's idle time before its next load.
    static constexpr int Steps = 9;
    std::array<qint64, Steps> m_sums{};
    std::array<int, Steps> m_counts{};
    QHash<int, qint64> m_pageFreeAt; // when each page's last row was written
    int m_loads = 0;
};
