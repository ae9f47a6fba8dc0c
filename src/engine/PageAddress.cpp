#include "engine/PageAddress.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

const QString AboutBlank = QStringLiteral("about:blank");

PageAddress refuse(const QString &reason)
{
    PageAddress address;
    address.kind = PageAddress::Refuse;
    address.reason = reason;
    return address;
}

PageAddress load(const QString &url)
{
    PageAddress address;
    address.url = url;
    return address;
}

// Finds the user info ("me:pw@") of the address in the text: the authority
// after "scheme://" ends at the first / ? or #, its user info at its last @.
// A text without a scheme is looked at from its start when `typed`.
bool findUserInfo(const QString &text, bool typed, qsizetype *start, qsizetype *end)
{
    static const QRegularExpression withScheme(QStringLiteral("^([\\s\\x{feff}]*[A-Za-z][A-Za-z0-9+.-]*://)[^/?#]*@"));
    static const QRegularExpression withoutScheme(QStringLiteral("^([\\s\\x{feff}]*)[^/?#]*@"));
    QRegularExpressionMatch match = withScheme.match(text);
    if (!match.hasMatch() && typed && !text.contains(QLatin1String("://")))
        match = withoutScheme.match(text);
    *start = match.capturedEnd(1);
    *end = match.capturedEnd();
    return match.hasMatch();
}

// The text of a refused row as its reason quotes it.
QString quoted(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = 0;
    return findUserInfo(text, false, &start, &end) ? text.left(start) + text.mid(end) : text;
}

} // namespace

PageAddress PageAddress::fromRow(const QString &row)
{
    if (row.size() > MaxLength)
        return refuse(QStringLiteral("address too long (more than 2 MiB)"));
    // A byte-order mark left by the list file is no part of the address.
    const QString text = (row.startsWith(QChar(0xFEFF)) ? row.mid(1) : row).trimmed();
    if (text.isEmpty())
        return load(AboutBlank);
    static const QRegularExpression schemePattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QString scheme = schemePattern.match(text).captured(1).toLower();
    const QUrl typed(text);
    if (scheme == QLatin1String("javascript"))
        return refuse(QStringLiteral("javascript: addresses run script and are not loaded"));
    if (scheme == QLatin1String("about")) {
        if (typed.isValid() && typed.path() == QLatin1String("blank"))
            return load(typed.toString(QUrl::FullyEncoded));
        return refuse(QStringLiteral("unsupported address \"%1\"").arg(quoted(text)));
    }
    if (scheme == QLatin1String("data"))
        return load(text);
    QUrl url = typed;
    // "localhost:8080/x" and "example.com" carry no scheme of their own.
    const bool knownScheme =
        scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file");
    if (!knownScheme && (scheme.isEmpty() || !text.contains(QLatin1String("://"))))
        url = QUrl::fromUserInput(text);
    const QString finalScheme = url.scheme().toLower();
    if (url.isValid() && finalScheme != QLatin1String("http") && finalScheme != QLatin1String("https")
        && finalScheme != QLatin1String("file"))
        return refuse(QStringLiteral("unsupported scheme \"%1:\"").arg(finalScheme));
    if (!url.isValid() || (url.host().isEmpty() && finalScheme != QLatin1String("file")))
        return refuse(QStringLiteral("invalid address \"%1\"").arg(quoted(text)));
    return load(url.toString(QUrl::FullyEncoded));
}

bool PageAddress::isWeb(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

QString PageAddress::originOf(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return {};
    return QStringLiteral("%1://%2:%3")
        .arg(scheme, url.host())
        .arg(url.port(scheme == QLatin1String("https") ? 443 : 80));
}

QString PageAddress::shown(const QString &row)
{
    if (row.trimmed().isEmpty())
        return QStringLiteral("\"%1\"").arg(row);
    return row.size() > 2000 ? row.left(2000) + QStringLiteral("…") : row;
}

QString PageAddress::withoutUserInfo(const QString &row)
{
    qsizetype start = 0;
    qsizetype end = 0;
    if (findUserInfo(row, false, &start, &end))
        return row.left(start) + row.mid(end);
    // A row without a scheme ("me@host/x") has user info when it loads as a web address.
    if (!findUserInfo(row, true, &start, &end))
        return row;
    const PageAddress page = fromRow(row);
    if (page.kind != Load || QUrl(page.url).userInfo().isEmpty())
        return row;
    return row.left(start) + row.mid(end);
}
