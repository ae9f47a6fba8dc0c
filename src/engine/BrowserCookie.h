#pragma once

#include <QString>

// One cookie as a browser context holds it (and a cookies.txt line gives it).
struct BrowserCookie {
    QString domain; // "example.com", or ".example.com" for its subdomains too
    QString path = QStringLiteral("/");
    QString name;
    QString value;
    bool secure = false;
    bool httpOnly = false;
    qint64 expires = 0; // seconds since the epoch; 0 for a session cookie

    // A cookie of the same name, domain and path replaces this one.
    bool sameSlot(const BrowserCookie &other) const
    {
        return name == other.name && domain == other.domain && path == other.path;
    }
    bool operator==(const BrowserCookie &other) const
    {
        return sameSlot(other) && value == other.value && secure == other.secure && httpOnly == other.httpOnly
            && expires == other.expires;
    }
};
