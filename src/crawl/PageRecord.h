#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// What a crawl's state keeps of an address's page as it was last saved, for a
// later run to load it only if it changed and to tell whether it did.
struct PageRecord {
    QString finalUrl;
    QString etag; // as its server sent them
    QString lastModified;
    QDateTime loadedAt; // UTC
    QByteArray outputSha256; // hex, of the bytes written
    QByteArray textSha256; // hex, of the text
    QByteArray collapsedSha256; // hex, of the text with its whitespace collapsed
    bool linksKept = false; // the page's links are kept beside it

    bool isEmpty() const { return textSha256.isEmpty(); }
};

// A record with what is kept beside it: the text (for a diff) and the page's
// links (to follow them when the page is not loaded again), each compressed.
// None leaves the stored one as it is; an empty one stores none.
struct SavedPage {
    PageRecord record;
    std::optional<QByteArray> text;
    std::optional<QByteArray> links;
};
