#pragma once

#include "capture/QueuedRow.h"
#include "capture/RowResult.h"
#include "engine/PageOutcome.h"

// What a front end hears of a run's rows, in the order it happens.
class IRunObserver
{
public:
    // On the run's clock, in milliseconds: a load's start, its end and when its
    // row was written (-1 when it is loaded again).
    struct LoadTimes {
        qint64 startMs = 0;
        qint64 endMs = 0;
        qint64 writtenMs = -1;
    };

    virtual ~IRunObserver() = default;

    // The row's first load is about to start.
    virtual void rowStarted(const QueuedRow &row) { Q_UNUSED(row) }
    // The first row loading, after each wait for the pages; `polls` counts from 1.
    virtual void waiting(const QueuedRow &row, qint32 polls)
    {
        Q_UNUSED(row)
        Q_UNUSED(polls)
    }
    // A load ended, in the page numbered `page` (from 0); told after rowFinished
    // when it ends its row.
    virtual void loadEnded(const QueuedRow &row, int page, const PageOutcome &outcome, const LoadTimes &times)
    {
        Q_UNUSED(row)
        Q_UNUSED(page)
        Q_UNUSED(outcome)
        Q_UNUSED(times)
    }
    virtual void rowFinished(const RowResult &result) = 0;
};
