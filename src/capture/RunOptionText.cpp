#include "capture/RunOptionText.h"

#include "capture/OutputFormat.h"

#include <QFileInfo>
#include <QStringList>

#include <cmath>

namespace {

const QString Seconds = QStringLiteral("a number of seconds");

} // namespace

QString RunOptionText::readFormat(const QString &text, QString &format, EngineOptions &options)
{
    const OutputFormat *named = OutputFormat::named(text);
    if (!named) {
        // What other tools call these, and case slips, point at the name meant.
        const QString lower = text.toLower();
        if (lower == QLatin1String("article"))
            return refusal(formatNames(), text) + QStringLiteral("; the main article alone is --main-content");
        const OutputFormat *meant = OutputFormat::named(lower == QLatin1String("txt") ? QStringLiteral("text") : lower);
        return refusal(formatNames(), text)
            + (meant ? QStringLiteral(". Did you mean '%1'?").arg(meant->name) : QString());
    }
    format = named->name;
    options.form = named->form;
    return {};
}

QString RunOptionText::readTries(const QString &text, int &tries)
{
    const std::optional<int> read = count(text, 100);
    if (!read)
        return refusal(QStringLiteral("a whole number from 1 to 100"), text);
    tries = *read;
    return {};
}

QString RunOptionText::readHostWait(const QString &text, int &milliseconds)
{
    const std::optional<int> read = RunOptionText::milliseconds(text, 0);
    if (!read)
        return refusal(Seconds, text);
    milliseconds = *read;
    return {};
}

QString RunOptionText::readPagesAtOnce(const QString &text, int &pages)
{
    const std::optional<int> read = count(text, MostPagesAtOnce);
    if (!read)
        return refusal(QStringLiteral("a whole number from 1 to %1").arg(MostPagesAtOnce), text);
    pages = *read;
    return {};
}

QString RunOptionText::shown(const QString &value)
{
    QString text = value;
    for (QChar &character : text) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return text;
}

QString RunOptionText::refusal(const QString &wanted, const QString &value)
{
    return QStringLiteral("wants %1, not \"%2\"").arg(wanted, shown(value));
}

std::optional<int> RunOptionText::milliseconds(const QString &text, double least)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < least || seconds > 86'400)
        return std::nullopt;
    return int(std::lround(seconds * 1000));
}

std::optional<int> RunOptionText::count(const QString &text, int most, int least)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
}

bool RunOptionText::isReadableFile(const QString &name)
{
    const QFileInfo info(name);
    return !name.isEmpty() && info.isFile() && info.isReadable();
}

QString RunOptionText::formatNames()
{
    QStringList names;
    for (const OutputFormat &format : OutputFormat::all())
        names << format.name;
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}
