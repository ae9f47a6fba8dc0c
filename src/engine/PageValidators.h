#pragma once

#include <QString>

// What a row's server said of its document when it was last saved, sent back
// so that an unchanged document is answered 304 Not Modified.
struct PageValidators {
    QString etag; // ETag as the server sent it (quotes and W/ kept)
    QString lastModified; // Last-Modified as the server sent it
    bool isEmpty() const { return etag.isEmpty() && lastModified.isEmpty(); }
};
