#include "batch/FailedRows.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool isFailed(const QJsonObject &record)
{
    const QString outcome = record.value(QStringLiteral("outcome")).toString();
    return outcome == QLatin1String("failed") || outcome == QLatin1String("stopped");
}

} // namespace

QList<FailedRows::Row> FailedRows::read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the report %1: %2").arg(path, file.errorString());
        return {};
    }
    QList<Row> rows;
    qint64 lineNumber = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++lineNumber;
        if (line.isEmpty())
            continue;
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (!record.value(QStringLiteral("address")).isString()
            || !record.value(QStringLiteral("outcome")).isString()) {
            *error = QStringLiteral("%1 is no report of textorin-batch --report (line %2)").arg(path).arg(lineNumber);
            return {};
        }
        if (isFailed(record)) {
            rows.append({qint64(record.value(QStringLiteral("row")).toDouble()),
                         record.value(QStringLiteral("address")).toString(),
                         record.value(QStringLiteral("file")).toString()});
        }
    }
    if (rows.isEmpty())
        *error = QStringLiteral("the report %1 has no failed rows to retry").arg(path);
    return rows;
}
