#include "batch/OptionValues.h"

#include "capture/RunOptionText.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace OptionValues {

QString shown(const QString &value)
{
    return RunOptionText::shown(value);
}

QString refusal(const QString &wanted, const QString &value)
{
    return RunOptionText::refusal(wanted, value);
}

std::optional<int> milliseconds(const QString &text, double least)
{
    return RunOptionText::milliseconds(text, least);
}

std::optional<int> count(const QString &text, int most, int least)
{
    return RunOptionText::count(text, most, least);
}

std::optional<qint64> duration(const QString &text)
{
    static const QHash<QChar, qint64> units{{QLatin1Char('s'), 1'000},
                                            {QLatin1Char('m'), 60'000},
                                            {QLatin1Char('h'), 3'600'000},
                                            {QLatin1Char('d'), 86'400'000}};
    const QString trimmed = text.trimmed().toLower();
    const qint64 unit = trimmed.isEmpty() ? 0 : units.value(trimmed.back(), 0);
    bool ok = false;
    const double amount = (unit ? trimmed.chopped(1) : trimmed).toDouble(&ok);
    const double ms = amount * double(unit ? unit : 1'000);
    if (!ok || !std::isfinite(ms) || ms < 1 || ms > 365.0 * 86'400'000)
        return std::nullopt;
    return qint64(std::llround(ms));
}

std::optional<QDateTime> instant(const QString &text)
{
    const QString trimmed = text.trimmed();
    QDateTime time = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(trimmed, Qt::ISODate);
        if (date.isValid())
            time = QDateTime(date, QTime(0, 0), Qt::UTC);
    }
    if (!time.isValid())
        return std::nullopt;
    // Without an offset the time is UTC's.
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC);
    return time.toUTC();
}

std::optional<QStringList> list(const QString &text)
{
    QStringList values;
    for (const QString &value : text.split(QLatin1Char(','))) {
        if (value.trimmed().isEmpty())
            return std::nullopt;
        values << value.trimmed();
    }
    return values;
}

std::optional<QSize> windowSize(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2,5})[xX](\\d{2,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() < 100 || size.height() < 100 || size.width() > 10'000 || size.height() > 10'000)
        return std::nullopt;
    return size;
}

std::optional<Shard> shard(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})/(\\d{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    const Shard read{match.captured(1).toInt(), match.captured(2).toInt()};
    if (!match.hasMatch() || read.shards < 1 || read.shard < 1 || read.shard > read.shards)
        return std::nullopt;
    return read;
}

bool isReadableFile(const QString &name)
{
    return RunOptionText::isReadableFile(name);
}

std::optional<QString> firstLine(const QString &name)
{
    QFile file(name);
    if (!QFileInfo(name).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString formatNames()
{
    return RunOptionText::formatNames();
}

} // namespace OptionValues
