#pragma once

#include <QList>
#include <QString>

// The rows an earlier run's report (--report, JSON Lines) gives as failed or
// stopped, to be run again (--retry-failed) under the names they had.
class FailedRows
{
public:
    struct Row {
        qint64 number = 0; // the row's number in that run, 0 when it had none
        QString address;
        QString file; // its name in the folder; empty when it had none
    };

    // The failed rows of the report, in its order; an empty list with `error`
    // set when it cannot be read, is no such report or names no failed row.
    static QList<Row> read(const QString &path, QString *error);
};
