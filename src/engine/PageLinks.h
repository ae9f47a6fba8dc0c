#pragma once

#include <QString>
#include <QStringList>

// The links of a loaded page, as a crawl follows them.
struct PageLinks {
    QStringList follow; // absolute addresses, in document order, each once
    QStringList nofollow; // links marked rel="nofollow" (not in `follow`)
    bool pageNofollow = false; // <meta name="robots"> says nofollow or none
    QString canonical; // link[rel=canonical], absolute, or empty
};
