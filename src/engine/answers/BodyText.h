#pragma once

#include <QByteArray>
#include <QString>

// The text of an answer that is no page, from its body: plain text decoded by
// its charset, or an XML document's text content.
class BodyText
{
public:
    // The body decoded by `charset`; without one (or with one unknown), by its
    // byte-order mark, else as UTF-8.
    static QString plain(const QByteArray &body, const QString &charset);
    // The text and CDATA of the document in their order, the text of one element
    // on another line than the next one's unless blanks part them; the blanks
    // between tags that break a line are one line break, and blank lines are
    // at most one (none at either end), as in a page's text. A document that is
    // not well-formed gives a null string and `failure`.
    static QString xml(const QByteArray &body, const QString &charset, QString *failure);
};
