#pragma once

#include "capture/IRowOutput.h"

// Where --spider's pages go: nowhere. They are loaded for their links only.
class SpiderOutput : public IRowOutput
{
public:
    QString pathOf(const QueuedRow &row) const override
    {
        Q_UNUSED(row)
        return {};
    }
    bool writesFiles() const override { return false; }
    qint64 write(const QueuedRow &row, const QString &path, const QString &text, QString *failure) override
    {
        Q_UNUSED(row)
        Q_UNUSED(path)
        Q_UNUSED(failure)
        return text.size();
    }
};
