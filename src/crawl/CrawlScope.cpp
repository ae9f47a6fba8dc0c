#include "crawl/CrawlScope.h"

#include "crawl/CrawlAddress.h"

#include <QUrl>

namespace {

using Verdict = CrawlScope::Verdict;

Verdict refused(Verdict::Kind kind, const QString &reason)
{
    return Verdict{kind, reason};
}

bool isFile(const QUrl &url)
{
    return url.scheme() == QLatin1String("file");
}

// The host as scope compares it: http and https of a host are one, file addresses apart from the web.
QString hostKey(const QUrl &url)
{
    const QString host = url.host(QUrl::FullyEncoded);
    return isFile(url) ? QStringLiteral("file://") + host : host;
}

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A -A or -R value: "pdf", ".pdf" and "*.pdf" alike; one with * ? or [ a wildcard on the whole
// last segment. Both compare regardless of case.
QRegularExpression segmentPattern(const QString &value)
{
    const QString text = value.trimmed();
    static const QRegularExpression wildcardMarks(QStringLiteral("[*?\\[]"));
    const QString pattern = text.contains(wildcardMarks)
        ? QRegularExpression::wildcardToRegularExpression(text)
        : QStringLiteral("\\.%1\\z")
              .arg(QRegularExpression::escape(text.startsWith(QLatin1Char('.')) ? text.mid(1) : text));
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption);
}

QList<QRegularExpression> segmentPatterns(const QStringList &values)
{
    QList<QRegularExpression> patterns;
    for (const QString &value : values) {
        if (!value.trimmed().isEmpty())
            patterns.append(segmentPattern(value));
    }
    return patterns;
}

bool matchesAny(const QList<QRegularExpression> &patterns, const QString &segment)
{
    for (const QRegularExpression &pattern : patterns) {
        if (pattern.match(segment).hasMatch())
            return true;
    }
    return false;
}

// The last segment's suffix, lowercased, without its dot; empty when it has none.
QString suffixOf(const QString &segment)
{
    const qsizetype dot = segment.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : segment.mid(dot + 1).toLower();
}

bool isPageSuffix(const QString &suffix)
{
    static const QStringList pages = {QStringLiteral("html"), QStringLiteral("htm"),   QStringLiteral("xhtml"),
                                      QStringLiteral("php"),  QStringLiteral("asp"),   QStringLiteral("aspx"),
                                      QStringLiteral("jsp"),  QStringLiteral("shtml"), QStringLiteral("cgi"),
                                      QStringLiteral("pl")};
    return suffix.isEmpty() || pages.contains(suffix);
}

// What a file with the suffix holds ("an image"), when it is no page the engine would read.
QString fileKind(const QString &suffix)
{
    struct Kind {
        const char *name;
        const char *suffixes;
    };
    static const Kind kinds[] = {
        {"an image", "png jpg jpeg gif webp svg ico bmp tif tiff avif heic"},
        {"media", "mp3 mp4 m4a m4v ogg ogv oga opus wav webm flac aac mov avi mkv wmv wma flv mpg mpeg 3gp"},
        {"a font", "woff woff2 ttf otf eot"},
        {"an archive", "zip gz tgz bz2 xz zst 7z rar tar iso dmg"},
        {"a program", "exe msi deb rpm apk bin jar dll so appimage"},
    };
    for (const Kind &kind : kinds) {
        if (QString::fromLatin1(kind.suffixes).split(QLatin1Char(' ')).contains(suffix))
            return QString::fromLatin1(kind.name);
    }
    return {};
}

} // namespace

CrawlScope::CrawlScope(const ScopeRules &rules)
    : m_rules(rules), m_acceptRegex(rules.acceptRegex), m_rejectRegex(rules.rejectRegex),
      m_accept(segmentPatterns(rules.accept)), m_reject(segmentPatterns(rules.reject))
{
    for (const QString &domain : rules.domains) {
        QString name = domain.trimmed();
        while (name.startsWith(QLatin1Char('.')))
            name.remove(0, 1);
        if (!name.isEmpty())
            m_domains.append(QString::fromLatin1(QUrl::toAce(name)));
    }
}

QString CrawlScope::regexProblem(const QString &pattern)
{
    const QRegularExpression expression(pattern);
    if (expression.isValid())
        return {};
    return QStringLiteral("wants a regular expression: %1 at position %2")
        .arg(expression.errorString())
        .arg(expression.patternErrorOffset());
}

void CrawlScope::addStart(const QString &normalisedAddress)
{
    const QUrl url(normalisedAddress);
    QStringList &folders = m_startFolders[hostKey(url)];
    const QString folder = folderOf(url.path(QUrl::FullyEncoded));
    if (!folders.contains(folder))
        folders.append(folder);
}

CrawlScope::Verdict CrawlScope::verdict(const QString &normalisedAddress) const
{
    if (!m_rules.rejectRegex.isEmpty() && m_rejectRegex.match(normalisedAddress).hasMatch())
        return refused(Verdict::Kind::OutOfScope, QStringLiteral("matches --reject-regex"));
    if (!m_rules.acceptRegex.isEmpty() && !m_acceptRegex.match(normalisedAddress).hasMatch())
        return refused(Verdict::Kind::OutOfScope, QStringLiteral("does not match --accept-regex"));
    const QUrl url(normalisedAddress);
    const QString hostProblem = hostRefusal(url);
    if (!hostProblem.isEmpty())
        return refused(Verdict::Kind::OutOfScope, hostProblem);
    if (m_rules.noParent && !belowStartFolder(url))
        return refused(Verdict::Kind::OutOfScope, QStringLiteral("above the start folder"));
    const QString path = url.path(QUrl::FullyEncoded);
    const QString lastSegment = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toUtf8());
    Verdict::Kind kind = Verdict::Kind::Follow;
    const QString suffixProblem = suffixRefusal(lastSegment, &kind);
    return suffixProblem.isEmpty() ? Verdict{} : refused(kind, suffixProblem);
}

QString CrawlScope::hostRefusal(const QUrl &url) const
{
    const QString host = url.host(QUrl::FullyEncoded);
    // A web page's link to a file address never reads this machine's files, -H or not.
    if (m_startFolders.contains(hostKey(url)) || (m_rules.spanHosts && !isFile(url) && m_domains.isEmpty()))
        return {};
    if (m_rules.spanHosts && !isFile(url)) {
        for (const QString &domain : m_domains) {
            if (host == domain || host.endsWith(QLatin1Char('.') + domain))
                return {};
        }
    }
    return QStringLiteral("another host (%1)").arg(isFile(url) ? hostKey(url) : host);
}

bool CrawlScope::belowStartFolder(const QUrl &url) const
{
    const auto start = m_startFolders.constFind(hostKey(url));
    if (start == m_startFolders.constEnd())
        return true; // a host reached with -H has no start folder
    const QString path = url.path(QUrl::FullyEncoded);
    for (const QString &folder : *start) {
        if (path.startsWith(folder))
            return true;
    }
    return false;
}

QString CrawlScope::suffixRefusal(const QString &lastSegment, Verdict::Kind *kind) const
{
    *kind = Verdict::Kind::OutOfScope;
    if (matchesAny(m_reject, lastSegment))
        return QStringLiteral("rejected by -R");
    const bool accepted = matchesAny(m_accept, lastSegment);
    const QString suffix = suffixOf(lastSegment);
    // As wget does, -A filters files only: pages are still followed for their links.
    if (!m_accept.isEmpty() && !accepted && !isPageSuffix(suffix))
        return QStringLiteral("not accepted by -A");
    const QString fileKindName = accepted ? QString() : fileKind(suffix);
    if (fileKindName.isEmpty())
        return {};
    *kind = Verdict::Kind::NotAPage;
    return QStringLiteral("%1 (.%2)").arg(fileKindName, suffix);
}
