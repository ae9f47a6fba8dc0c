#include "capture/RowReport.h"

#include "capture/MetadataFields.h"
#include "capture/RowResult.h"
#include "engine/PageAddress.h"

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

RowReport::RowReport(QFileDevice &device, Fields fields) : m_device(device), m_fields(std::move(fields)) {}

QString RowReport::nameInFolder(const QString &folder, const QString &path)
{
    const QString prefix = folder + QLatin1Char('/');
    return path.startsWith(prefix) ? path.mid(prefix.size()) : QFileInfo(path).fileName();
}

bool RowReport::add(const RowResult &result)
{
    static const QString outcomes[] = {QStringLiteral("saved"), QStringLiteral("failed"), QStringLiteral("skipped"),
                                       QStringLiteral("stopped")};
    const bool saved = result.saved();
    return write({result.row, result.url, outcomes[int(result.outcome)],
                  m_fields.toStandardOutput ? QString() : result.outputPath,
                  saved ? QString() : result.reason.simplified(), result.page.httpStatus, result.page.contentType,
                  result.ms, result.tries, saved && result.page.mainContentFallback,
                  saved ? result.page.formatFallback : QString(), saved && result.page.selectNoMatch,
                  m_fields.toStandardOutput && saved ? result.bytes : -1, result.depth, result.foundOn,
                  RowChange::nameOf(result.change.kind), result.page.finalUrl, result.page.title,
                  // The row's time is counted from its first load to now.
                  QDateTime::currentDateTime().addMSecs(-result.ms), saved ? result.note : QString(),
                  saved ? MetadataFields::of(result.page) : MetadataFields::none(), result.rule});
}

bool RowReport::write(const Record &record)
{
    const QFileInfo file(record.file);
    QJsonObject line{
        {QStringLiteral("row"), record.row > 0 ? QJsonValue(record.row) : QJsonValue()},
        {QStringLiteral("address"), PageAddress::withoutUserInfo(record.address)},
        {QStringLiteral("outcome"), record.outcome},
        {QStringLiteral("file"),
         record.file.isEmpty() ? QJsonValue() : QJsonValue(nameInFolder(m_fields.folder, record.file))},
        {QStringLiteral("bytes"),
         record.outcome != QLatin1String("saved") ? QJsonValue()
                                                  : QJsonValue(record.textBytes >= 0 ? record.textBytes : file.size())},
        {QStringLiteral("http_status"), record.httpStatus > 0 ? QJsonValue(record.httpStatus) : QJsonValue()},
        {QStringLiteral("content_type"), record.contentType.isEmpty() ? QJsonValue() : QJsonValue(record.contentType)},
        {QStringLiteral("reason"), record.reason.isEmpty() ? QJsonValue() : QJsonValue(record.reason)},
        {QStringLiteral("ms"), record.ms},
        {QStringLiteral("tries"), record.tries},
    };
    if (m_fields.crawl) {
        line.insert(QStringLiteral("depth"), record.depth >= 0 ? QJsonValue(record.depth) : QJsonValue());
        line.insert(QStringLiteral("found_on"), record.foundOn.isEmpty() ? QJsonValue() : QJsonValue(record.foundOn));
    }
    if (m_fields.change)
        line.insert(QStringLiteral("change"), record.change.isEmpty() ? QJsonValue() : QJsonValue(record.change));
    if (m_fields.mainContent)
        line.insert(QStringLiteral("fallback"), record.fallback);
    if (m_fields.formatFallback) {
        line.insert(QStringLiteral("format_fallback"),
                    record.formatFallback.isEmpty() ? QJsonValue() : QJsonValue(record.formatFallback));
    }
    if (m_fields.select)
        line.insert(QStringLiteral("select"),
                    record.selectNoMatch ? QJsonValue(QStringLiteral("no match")) : QJsonValue());
    const auto orNull = [](const QString &text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); };
    if (m_fields.rule)
        line.insert(QStringLiteral("rule"), orNull(record.rule));
    const QDateTime started = record.started.toOffsetFromUtc(record.started.offsetFromUtc());
    line.insert(QStringLiteral("final_url"), orNull(PageAddress::withoutUserInfo(record.finalUrl)));
    line.insert(QStringLiteral("title"), orNull(record.title));
    line.insert(QStringLiteral("started"), started.toString(Qt::ISODateWithMs));
    line.insert(QStringLiteral("folder"),
                m_fields.toStandardOutput ? QJsonValue() : QJsonValue(QDir(m_fields.folder).absolutePath()));
    line.insert(QStringLiteral("note"), orNull(record.note));
    for (auto field = record.metadata.begin(); field != record.metadata.end(); ++field) {
        if (field.key() != QLatin1String("title"))
            line.insert(field.key(), field.value());
    }
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (m_device.write(bytes) == bytes.size() && m_device.flush())
        return true;
    m_error = m_device.errorString();
    m_device.unsetError();
    return false;
}
