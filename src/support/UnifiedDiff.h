#pragma once

#include <QString>

// A unified diff (as diff -u writes it) of two texts, line by line.
class UnifiedDiff
{
public:
    // The diff from `before` to `after`, with three lines of context, headed
    // "--- fromName" and "+++ toName"; empty when the texts are the same.
    static QString of(const QString &before, const QString &after, const QString &fromName, const QString &toName);
};
