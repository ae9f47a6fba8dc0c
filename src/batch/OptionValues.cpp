#include "batch/OptionValues.h"

#include "capture/OutputFormat.h"

#include <QFile>
#include <QFileInfo>
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
