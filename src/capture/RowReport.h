#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

class QFileDevice;
struct RowResult;

// A run's report: one JSON object a finished row (JSON Lines), as the batch's
// --report writes it and the window saves it. Every record ends with final_url,
// title, started (ISO 8601 with the offset), folder (absolute) and note, then the
// saved page's metadata (MetadataFields; null for a row that saved nothing).
class RowReport
{
public:
    // What the records hold besides the fields every record has.
    struct Fields {
        QString folder; // the run's folder: files are named within it
        bool toStandardOutput = false; // the texts went to standard output, not to files
        bool crawl = false; // "depth" and "found_on"
        bool change = false; // "change"
        bool mainContent = false; // "fallback"
        bool formatFallback = false; // "format_fallback"
        bool select = false; // "select"
        bool rule = false; // "rule": the site rule's pattern, or null
    };

    RowReport(QFileDevice &device, Fields fields);

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
        bool selectNoMatch = false;
        qint64 textBytes = -1; // of a text written to standard output
        int depth = -1; // in a crawl
        QString foundOn;
        QString change; // with a state: "new", "same", "changed", "gone", or empty
        QString finalUrl;
        QString title;
        QDateTime started; // the first load's start, on the wall clock
        QString note;
        QJsonObject metadata; // MetadataFields' but the title, which comes before
        QString rule;
    };
    bool write(const Record &record);

    QFileDevice &m_device;
    Fields m_fields;
    QString m_error;
};
