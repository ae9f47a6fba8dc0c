#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// The checks of textorin-batch's option values: each gives the value it reads,
// or nothing when the text is not one, and the problem a refused value makes.
// Those the window shares (shown, refusal, milliseconds, count, isReadableFile,
// formatNames) are capture/RunOptionText's.
namespace OptionValues {

// The value as a problem shows it: on one line.
QString shown(const QString &value);
// "wants WANTED, not "VALUE""
QString refusal(const QString &wanted, const QString &value);

// Seconds from `least` to a day, as milliseconds.
std::optional<int> milliseconds(const QString &text, double least);
// A whole number from `least` to `most`.
std::optional<int> count(const QString &text, int most, int least = 1);
// A duration such as "90", "90s", "1.5m", "2h" or "1d" (seconds without a unit), over 0, as milliseconds.
std::optional<qint64> duration(const QString &text);
// A date ("2026-12-01") or a date and time ("2026-12-01T08:00", seconds and an
// offset or Z allowed), in UTC unless it names an offset; as UTC.
std::optional<QDateTime> instant(const QString &text);
// Comma-separated values, blanks around them left out, empty ones refused.
std::optional<QStringList> list(const QString &text);
// "WxH", each side from 100 to 10000.
std::optional<QSize> windowSize(const QString &text);

struct Shard {
    int shard = 1;
    int shards = 1;
};
// "K/N" with 1 <= K <= N.
std::optional<Shard> shard(const QString &text);

// Whether the name is of a file there to be read.
bool isReadableFile(const QString &name);
// The first line of a readable file, without its line end, as wget's and curl's
// password files hold it.
std::optional<QString> firstLine(const QString &name);

// The names of the output formats: "a, b or c".
QString formatNames();

} // namespace OptionValues
