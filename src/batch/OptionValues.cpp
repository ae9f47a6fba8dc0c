#include "batch/OptionValues.h"

#include "capture/OutputFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace OptionValues {

QString shown(const QString &value)
{
    QString text = value;
    for (QChar &character : text) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return text;
}

QString refusal(const QString &wanted, const QString &value)
{
    return QStringLiteral("wants %1, not \"%2\"").arg(wanted, shown(value));
}

std::optional<int> milliseconds(const QString &text, double least)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < least || seconds > 86'400)
        return std::nullopt;
    return int(std::lround(seconds * 1000));
}

std::optional<int> count(const QString &text, int most, int least)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
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

std::optional<int> level(const QString &text)
{
    if (text.trimmed().compare(QLatin1String("inf"), Qt::CaseInsensitive) == 0)
        return -1;
    const std::optional<int> steps = count(text, 1000, 0);
    if (steps && *steps == 0)
        return -1;
    return steps;
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
    const QFileInfo info(name);
    return !name.isEmpty() && info.isFile() && info.isReadable();
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
    QStringList names;
    for (const OutputFormat &format : OutputFormat::all())
        names << format.name;
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace OptionValues
