#pragma once

#include <QString>

// How the window shows a row's texts without letting them disguise
// themselves: the stored texts stay as they are.
class RowDisplayText
{
public:
    // Control characters and the marks that reorder text (U+200E, U+200F,
    // U+061C, U+202A–U+202E, U+2066–U+2069).
    static bool isDisguising(QChar character);
    // The text with each such mark or control written as its code ("[U+202E]").
    static QString visible(const QString &text);
    // The text, its marks made visible, in a direction of its own (FSI … PDI),
    // so that it cannot reorder the line around it.
    static QString isolated(const QString &text);
    // A failed row's line of the "Done." box: "row 12: ADDRESS: REASON".
    static QString failureLine(qint64 row, const QString &address, const QString &reason);
    // A row's tooltip: rich text, marks made visible, lines broken at WrapColumn.
    static QString toolTip(const QString &text);

    static constexpr int WrapColumn = 80;
};
