#pragma once

#include "capture/QueuedRow.h"
#include "capture/RowResult.h"

#include <QString>

#include <functional>

// What a front end does around a run's rows: it may leave a row out, shows a
// row starting and waiting, writes its file and is told how every row ended.
class IRowSteps
{
public:
    enum class Step { Load, Wait, Take };

    virtual ~IRowSteps() = default;

    // The folder the row's file goes to, read as it is written.
    virtual QString folder() const = 0;
    // Why the row is left out, or empty; asked just before it would start.
    virtual QString skipReason(const QueuedRow &row, const QString &outputPath)
    {
        Q_UNUSED(row) Q_UNUSED(outputPath) return {};
    }
    // Whether the row may be asked about and started now; a row the front end
    // holds (it is still finding out whether to skip it) keeps its place while
    // other rows start, and is asked again as events come in.
    virtual bool readyToStart(const QueuedRow &row) { Q_UNUSED(row) return true; }
    virtual void rowStarted(const QueuedRow &row) { Q_UNUSED(row) }
    // The first row loading, after each wait for the pages; `polls` counts from 1.
    virtual void waiting(const QueuedRow &row, qint32 polls) { Q_UNUSED(row) Q_UNUSED(polls) }
    // Runs one of the queue's own steps; false when it failed (the row then fails).
    virtual bool runStep(Step step, const QueuedRow &row, const std::function<void()> &statement,
                         QString *failure);
    // Whether write() makes files, whose colliding names are numbered (and said so).
    virtual bool writesFiles() const { return true; }
    // Writes the row's file; false with the first failure's reason.
    virtual bool write(const QueuedRow &row, const QString &path, const QString &content,
                       QString *failure);
    virtual void rowFinished(const RowResult &result) = 0;
};
