#pragma once

#include <QString>
#include <QStringList>

// The known option a mistyped one most likely meant: the only one it begins,
// else the nearest by edit distance (a swap of two neighbours counting as one
// edit), when near enough to be a slip rather than another word.
namespace OptionSuggestion {

// `unknown` and `known` are long names without their dashes; empty when none is near.
QString closest(const QString &unknown, const QStringList &known);
// What a flag of wget, curl or yt-dlp that this program does not take is
// written here ("--tries" for "-t"), or empty; `dashed` as typed ("-t", "--retry").
QString ofNeighbouringTool(const QString &dashed);
// Edits (insert, delete, replace, swap of neighbours) that turn `a` into `b`.
int distance(const QString &a, const QString &b);

} // namespace OptionSuggestion
