#include "crawl/CrawlAddress.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

bool isWeb(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("http") ? 80 : scheme == QLatin1String("https") ? 443 : -1;
}

// RFC 3986's remove_dot_segments on an absolute path. QUrl::NormalizePathSegments of Qt 6.4 merges
// segments ("/a/./b/../c" gives "/a//c", "/a/.b/..c/" gives "/a//..c/").
QString withoutDotSegments(const QString &path)
{
    const QStringList segments = path.split(QLatin1Char('/'));
    QStringList kept;
    for (qsizetype i = 1; i < segments.size(); ++i) {
        const QString &segment = segments.at(i);
        const bool last = i == segments.size() - 1;
        if (segment == QLatin1String("..") && !kept.isEmpty())
            kept.removeLast();
        if (segment == QLatin1String(".") || segment == QLatin1String("..")) {
            if (last)
                kept.append(QString());
            continue;
        }
        kept.append(segment);
    }
    return QLatin1Char('/') + kept.join(QLatin1Char('/'));
}

// The query without the parameters whose names (decoded, case-sensitive) match a wildcard.
QString withoutParams(const QString &query, const QStringList &wildcards)
{
    QStringList alternatives;
    for (const QString &wildcard : wildcards) {
        if (!wildcard.isEmpty())
            alternatives.append(QRegularExpression::wildcardToRegularExpression(
                wildcard, QRegularExpression::UnanchoredWildcardConversion));
    }
    if (alternatives.isEmpty())
        return query;
    const QRegularExpression ignored(QStringLiteral("\\A(?:%1)\\z").arg(alternatives.join(QLatin1Char('|'))));
    QStringList kept;
    for (const QString &param : query.split(QLatin1Char('&'))) {
        const QString name = QUrl::fromPercentEncoding(param.section(QLatin1Char('='), 0, 0).toUtf8());
        if (!ignored.match(name).hasMatch())
            kept.append(param);
    }
    return kept.join(QLatin1Char('&'));
}

} // namespace

QString CrawlAddress::normalised(const QString &address, const QueryRules &rules)
{
    // QUrl lowercases the scheme and host, gives the host's ACE form, uppercases the hex digits of
    // percent-encoding, decodes unreserved characters and encodes spaces and non-ASCII as UTF-8.
    QUrl url(address.trimmed());
    const QString scheme = url.scheme();
    if (!url.isValid() || !(isWeb(scheme) || scheme == QLatin1String("file")))
        return {};
    if (isWeb(scheme) && url.host().isEmpty())
        return {};
    if (url.port() == defaultPort(scheme))
        url.setPort(-1);
    const QUrl::FormattingOptions authorityOnly =
        QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment;
    QString result = QString::fromLatin1(url.toEncoded(authorityOnly));
    const QString path = url.path(QUrl::FullyEncoded);
    result += withoutDotSegments(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
    QString query = rules.ignoreQuery ? QString() : url.query(QUrl::FullyEncoded);
    if (!query.isEmpty() && !rules.ignoredParams.isEmpty())
        query = withoutParams(query, rules.ignoredParams);
    if (!query.isEmpty())
        result += QLatin1Char('?') + query;
    return result;
}

QString CrawlAddress::hostOf(const QString &normalisedAddress)
{
    return QUrl(normalisedAddress).host(QUrl::FullyEncoded);
}
