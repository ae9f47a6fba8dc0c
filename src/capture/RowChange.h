#pragma once

#include <QString>

// How a row's text stands to the text its address had when an earlier run saved it.
struct RowChange {
    enum class Kind {
        Untracked, // no earlier run is known, or the row ended so that none can be told
        New, // saved for the first time
        Same,
        Changed,
        Gone, // saved before; now answers 404 or 410, or is no longer linked
    };
    Kind kind = Kind::Untracked;
    // The row's file holds this text already: it is not written again.
    bool keepFile = false;
    // The unified diff of the earlier text and this one, when asked for; else empty.
    QString diff;

    bool tracked() const { return kind != Kind::Untracked; }
    // "new", "same", "changed" or "gone"; empty when untracked.
    static QString nameOf(Kind kind)
    {
        static const char *const names[] = {"", "new", "same", "changed", "gone"};
        return QLatin1String(names[int(kind)]);
    }
};
