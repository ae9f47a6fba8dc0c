#pragma once

#include "engine/BrowserCookie.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The Netscape cookies.txt format that wget, curl and yt-dlp read and write: a
// cookie a line, seven TAB-separated fields (domain, include-subdomains TRUE or
// FALSE, path, secure TRUE or FALSE, expiry in seconds since the epoch or 0 for
// a session cookie, name, value). "#HttpOnly_" before the domain marks an
// HttpOnly cookie; other lines starting with "#" and blank lines are comments.
// A domain cookie's domain starts with a dot exactly when its flag is TRUE.
namespace NetscapeCookieFile {

struct Contents {
    QList<BrowserCookie> cookies;
    // One entry ("line 7: ...") for each malformed line, which was skipped, and
    // one for each site with more cookies than the engine keeps for one site.
    QStringList problems;
};

// The most cookies the engine keeps for one site; those past it are skipped.
constexpr int MaxCookiesPerSite = 180;
// The largest file read.
constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

Contents parse(const QByteArray &text);
// False, with the reason in `error`, when the file cannot be read.
bool read(const QString &path, Contents *contents, QString *error);

// The file's text, header included. Cookies that cannot be written as one line
// (a TAB or line break in a field) are left out.
QByteArray format(const QList<BrowserCookie> &cookies);
// Replaces the file at once (never half-written), readable by its owner alone;
// a symbolic link in its place is refused. False with the reason in `error`.
bool write(const QString &path, const QList<BrowserCookie> &cookies, QString *error);

} // namespace NetscapeCookieFile
