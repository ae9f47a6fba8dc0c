#pragma once

#include <QString>
#include <QStringList>

// The known option a mistyped one most likely meant: the only one it begins,
// else the nearest by edit distance (a swap of two neighbours counting as one
// edit), when near enough to be a slip rather than another word.
namespace OptionSuggestion {

// `unknown` and `known` are long names without their dashes; empty when none is near.
QString closest(const QString &unknown, const QStringList &known);
// Edits (insert, delete, replace, swap of neighbours) that turn `a` into `b`.
int distance(const QString &a, const QString &b);

} // namespace OptionSuggestion
