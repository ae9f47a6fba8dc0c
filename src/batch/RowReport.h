#pragma once

#include "batch/BatchOptions.h"

#include <QString>

class QFileDevice;
struct RowResult;

// The report of --report: one JSON object a finished row (JSON Lines).
class RowReport
{
public:
    // `toStandardOutput`: the texts go to standard output, not to files.
    RowReport(QFileDevice &device, const BatchOptions &options, bool toStandardOutput);

    // Writes the row's record; false when it could not be written (errorString()).
    bool add(const RowResult &result);
    QString errorString() const { return m_error; }

    // The path's name in the folder (with its subfolders), or its file name.
    static QString nameInFolder(const QString &folder, const QString &path);

private:
    struct Record {
        qint64 row = 0;
        QString address;
        QString outcome; // "saved", "failed", "skipped" or "stopped"
        QString file;
        QString reason;
        int httpStatus = 0;
        QString contentType;
        qint64 ms = 0;
        int tries = 0;
        bool fallback = false;
        QString formatFallback;
        qint64 textBytes = -1; // of a text written to standard output
        int depth = -1; // in a crawl
        QString foundOn;
        QString change; // with a state: "new", "same", "changed", "gone", or empty
    };
    bool write(const Record &record);

    QFileDevice &m_device;
    const BatchOptions &m_options;
    bool m_toStandardOutput = false;
    QString m_error;
};
