#include "engine/PageMetadata.h"

#include <QDateTime>
#include <QJsonObject>

PageMetadata PageMetadata::fromAnswer(const QJsonObject &answer)
{
    const auto text = [&answer](const char *name) { return answer.value(QLatin1String(name)).toString().trimmed(); };
    PageMetadata metadata;
    metadata.author = text("author");
    metadata.published = isoDate(text("published"));
    metadata.modified = isoDate(text("modified"));
    metadata.description = text("description");
    metadata.siteName = text("siteName");
    metadata.canonical = text("canonical");
    return metadata;
}

QString PageMetadata::isoDate(const QString &raw)
{
    QString text = raw.trimmed();
    // A date alone stays a date.
    if (text.size() == 10) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        return date.isValid() ? date.toString(Qt::ISODate) : QString();
    }
    if (text.size() > 10 && text.at(10) == QLatin1Char(' '))
        text[10] = QLatin1Char('T');
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(raw.trimmed(), Qt::RFC2822Date);
    if (!time.isValid())
        return {};
    return time.toString(time.time().msec() ? Qt::ISODateWithMs : Qt::ISODate);
}
