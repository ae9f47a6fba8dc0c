#include "engine/cookies/NetscapeCookieFile.h"

#include "engine/cookies/CookieJar.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

namespace {

const QByteArray HttpOnlyPrefix = "#HttpOnly_";

std::optional<bool> flag(const QByteArray &field)
{
    const QByteArray word = field.trimmed().toUpper();
    if (word == "TRUE")
        return true;
    if (word == "FALSE")
        return false;
    return std::nullopt;
}

// The seconds since the epoch of an expiry field, none when it is no such
// number; one past 64 bits is as far off as can be, as curl reads it.
std::optional<qint64> expiryOf(const QByteArray &field)
{
    constexpr qint64 FarOff = std::numeric_limits<qint64>::max();
    // Python's cookie jars (yt-dlp's) leave a session cookie's expiry empty.
    if (field.isEmpty())
        return 0;
    bool number = false;
    const double seconds = field.toDouble(&number);
    if (!number && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return FarOff; // too many digits even for a double
    if (!number || !std::isfinite(seconds) || seconds < 0)
        return std::nullopt;
    return seconds >= 0x1p63 ? FarOff : qint64(seconds);
}

// What the browser engine refuses to hold in a cookie's name or value.
bool unfitForCookie(const QString &text)
{
    if (text != text.trimmed())
        return true;
    for (const QChar c : text) {
        if (c == QLatin1Char(';') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// The cookie of one line, or the reason it is malformed.
std::optional<BrowserCookie> parseLine(QByteArray line, QString *problem)
{
    BrowserCookie cookie;
    if (line.startsWith(HttpOnlyPrefix)) {
        cookie.httpOnly = true;
        line.remove(0, HttpOnlyPrefix.size());
    }
    QList<QByteArray> fields = line.split('\t');
    // A cookie with an empty value may come without its last TAB (curl reads it so).
    if (fields.size() == 6)
        fields.append(QByteArray());
    if (fields.size() != 7) {
        *problem = QStringLiteral("7 TAB-separated fields expected, %1 found").arg(fields.size());
        return std::nullopt;
    }
    QString domain = QString::fromUtf8(fields.at(0)).trimmed().toLower();
    while (domain.startsWith(QLatin1Char('.')))
        domain.remove(0, 1);
    const std::optional<bool> subdomains = flag(fields.at(1));
    const std::optional<bool> secure = flag(fields.at(3));
    const std::optional<qint64> expires = expiryOf(fields.at(4).trimmed());
    cookie.path = QString::fromUtf8(fields.at(2));
    cookie.name = QString::fromUtf8(fields.at(5));
    cookie.value = QString::fromUtf8(fields.at(6));
    if (domain.isEmpty())
        *problem = QStringLiteral("no domain");
    else if (!subdomains)
        *problem = QStringLiteral("the include-subdomains field is neither TRUE nor FALSE");
    else if (!secure)
        *problem = QStringLiteral("the secure field is neither TRUE nor FALSE");
    else if (!expires)
        *problem = QStringLiteral("the expiry is not a number of seconds");
    else if (!cookie.path.isEmpty() && !cookie.path.startsWith(QLatin1Char('/')))
        *problem = QStringLiteral("the path does not start with /");
    else if (cookie.name.isEmpty() && cookie.value.isEmpty())
        *problem = QStringLiteral("the cookie has neither name nor value");
    else if (cookie.name.contains(QLatin1Char('=')) || unfitForCookie(cookie.name) || unfitForCookie(cookie.value))
        *problem = QStringLiteral("the cookie's name or value holds a character no cookie may hold");
    if (!problem->isEmpty())
        return std::nullopt;
    cookie.domain = *subdomains ? QLatin1Char('.') + domain : domain;
    if (cookie.path.isEmpty())
        cookie.path = QStringLiteral("/");
    cookie.secure = *secure;
    cookie.expires = *expires;
    return cookie;
}

bool writable(const BrowserCookie &cookie)
{
    for (const QString &field : {cookie.domain, cookie.path, cookie.name, cookie.value}) {
        if (field.contains(QLatin1Char('\t')) || field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r')))
            return false;
    }
    return !cookie.domain.isEmpty();
}

} // namespace

namespace NetscapeCookieFile {

Contents parse(const QByteArray &text)
{
    Contents contents;
    QHash<QString, int> perSite;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == 0 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        if (line.trimmed().isEmpty() || (line.startsWith('#') && !line.startsWith(HttpOnlyPrefix)))
            continue;
        QString problem;
        const std::optional<BrowserCookie> cookie = parseLine(line, &problem);
        if (!cookie)
            contents.problems.append(QStringLiteral("line %1: %2").arg(i + 1).arg(problem));
        else if (++perSite[CookieJar::siteOf(cookie->domain)] <= MaxCookiesPerSite)
            contents.cookies.append(*cookie);
    }
    // Setting more than the engine keeps would only slow every row down.
    for (auto it = perSite.cbegin(); it != perSite.cend(); ++it) {
        if (it.value() > MaxCookiesPerSite)
            contents.problems.append(QStringLiteral("%1 cookies for %2, more than the %3 the browser engine keeps "
                                                    "for one site: those past the first %3")
                                         .arg(it.value())
                                         .arg(it.key())
                                         .arg(MaxCookiesPerSite));
    }
    return contents;
}

bool read(const QString &path, Contents *contents, QString *error)
{
    // Only a regular file: a FIFO or a device would block or never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("cannot read %1: not a regular file").arg(path);
        return false;
    }
    if (info.size() > MaxFileBytes) {
        *error = QStringLiteral("cannot use %1: %2 bytes, more than the %3 MiB a cookies file may have")
                     .arg(path)
                     .arg(info.size())
                     .arg(MaxFileBytes / (1024 * 1024));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *contents = parse(text);
    return true;
}

QByteArray format(const QList<BrowserCookie> &cookies)
{
    QByteArray text = "# Netscape HTTP Cookie File\n"
                      "# Written by Textorin; wget, curl and yt-dlp read this format.\n\n";
    for (const BrowserCookie &cookie : cookies) {
        if (!writable(cookie))
            continue;
        const bool domainCookie = cookie.domain.startsWith(QLatin1Char('.'));
        QStringList fields{cookie.domain,
                           QLatin1String(domainCookie ? "TRUE" : "FALSE"),
                           cookie.path.isEmpty() ? QStringLiteral("/") : cookie.path,
                           QLatin1String(cookie.secure ? "TRUE" : "FALSE"),
                           QString::number(qMax<qint64>(0, cookie.expires)),
                           cookie.name,
                           cookie.value};
        if (cookie.httpOnly)
            fields.first().prepend(QLatin1String(HttpOnlyPrefix));
        text += fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    }
    return text;
}

bool write(const QString &path, const QList<BrowserCookie> &cookies, QString *error)
{
    const auto fail = [&](const QString &reason) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
        return false;
    };
    // A link there may lead to anyone's file, or make one elsewhere.
    const QFileInfo existing(path);
    if (existing.isSymLink())
        return fail(QStringLiteral("it is a symbolic link"));
    // Cookies are credentials: the file is the user's alone, also when it
    // replaces one. Renamed into place, it replaces a link put there meanwhile,
    // never its target.
    QTemporaryFile file(existing.absolutePath() + QStringLiteral("/.textorin-cookies-XXXXXX"));
    if (!file.open() || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail(file.errorString());
    if (file.write(format(cookies)) < 0 || !file.flush())
        return fail(file.errorString());
    if (::fsync(file.handle()) != 0
        || ::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false);
    return true;
}

} // namespace NetscapeCookieFile
