#pragma once

#include "capture/QueuedRow.h"

#include <QString>

// Where the texts of a run's rows go.
class IRowOutput
{
public:
    virtual ~IRowOutput() = default;

    // The file the row's text goes to (or, for a row skipped, would have), read as it is written.
    virtual QString pathOf(const QueuedRow &row) const = 0;
    // Whether the texts make files, whose colliding names are numbered (and said so).
    virtual bool writesFiles() const { return true; }
    // Writes the row's text; the bytes written, or -1 with the first failure's reason.
    virtual qint64 write(const QueuedRow &row, const QString &path, const QString &text, QString *failure) = 0;
    // The row ended without a text: it failed or was skipped.
    virtual void passOver(const QueuedRow &row) { Q_UNUSED(row) }
};
