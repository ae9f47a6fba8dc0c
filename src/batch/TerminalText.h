#pragma once

#include <QString>

// Text as the batch prints it on standard output and standard error: on one
// line, with no control character a terminal would obey. Text without any is
// printed as it is.
class TerminalText
{
public:
    // The text with its controls escaped: ESC as \x1b, CR as \r, LF as \n, the
    // other C0 and C1 controls and DEL as \xNN. A text so escaped, or holding a
    // backslash that would read as an escape (\\, \x, \n, \r), has each of its
    // backslashes doubled, so that every text reads back as it was.
    static QString escaped(const QString &text);
    // A row's address as printed: without its user info, escaped.
    static QString address(const QString &row);
};
