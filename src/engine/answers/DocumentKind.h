#pragma once

#include <QString>

// What a main document's content type makes of it: a page for the browser to
// show, an answer whose text comes from its body (a PDF, plain text, XML), or
// no page at all (images, media, fonts, archives, other binary files).
struct DocumentKind {
    enum Kind { Page, Pdf, PlainText, Xml, NotAPage };
    Kind kind = Page;
    QString mimeType; // as sent, in lower case, without parameters
    QString charset; // the charset parameter, or empty

    // From a Content-Type header's value; an empty one is a page (the browser sniffs it).
    static DocumentKind fromContentType(const QString &contentType);
    // From a local file's name: its extension's type, or a page when it has none known.
    static DocumentKind fromFileName(const QString &path);

    // The text comes from the body, not from the browser.
    bool fromBody() const { return kind == Pdf || kind == PlainText || kind == Xml; }
};
