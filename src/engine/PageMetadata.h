#pragma once

#include <QString>

class QJsonObject;

// What a page states about itself besides its title and language (PageOutcome's);
// a field is empty when the page does not state it.
struct PageMetadata {
    QString author;
    QString published; // ISO 8601: a date, or a date and time with the page's offset when it gives one
    QString modified; // likewise
    QString description;
    QString siteName;
    QString canonical; // absolute

    // Of the page script's answer (its "metadata" object); a date that reads as none is left out.
    static PageMetadata fromAnswer(const QJsonObject &answer);
    // RAW (ISO 8601 or RFC 2822, as pages write them) in ISO 8601, or empty when it is no date.
    static QString isoDate(const QString &raw);
};
