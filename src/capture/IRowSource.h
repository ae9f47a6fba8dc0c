#pragma once

#include <QString>

// Where a run's rows come from, in list order.
class IRowSource
{
public:
    virtual ~IRowSource() = default;

    // The next row's text, or a reason never to load it (too long to be an
    // address); false after the last row.
    virtual bool next(QString &text, QString &refusal) = 0;
};
