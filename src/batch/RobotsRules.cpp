#include "batch/RobotsRules.h"

#include <QUrl>

#include <cctype>
#include <cmath>

namespace {

bool isUnreserved(uchar byte)
{
    return std::isalnum(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

// Percent-encodes what is not printable ASCII, decodes the escapes of unreserved
// characters and writes every other escape in capitals ("%2F" stays), so that a
// rule and a path written differently compare equal.
QByteArray normalized(const QByteArray &text)
{
    QByteArray result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const uchar byte = uchar(text.at(i));
        if (byte == '%' && i + 2 < text.size() && std::isxdigit(uchar(text.at(i + 1)))
            && std::isxdigit(uchar(text.at(i + 2)))) {
            const uchar decoded = uchar(QByteArray::fromHex(text.mid(i + 1, 2)).at(0));
            if (isUnreserved(decoded)) {
                result += char(decoded);
            } else {
                result += '%';
                result += char(std::toupper(uchar(text.at(i + 1))));
                result += char(std::toupper(uchar(text.at(i + 2))));
            }
            i += 2;
        } else if (byte <= 0x20 || byte >= 0x7f) {
            result += '%' + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        } else {
            result += char(byte);
        }
    }
    return result;
}

// The path with its "." and ".." segments resolved, as the engine requests it.
QByteArray withoutDotSegments(const QByteArray &path)
{
    if (!path.startsWith('/'))
        return path;
    const QList<QByteArray> segments = path.split('/');
    QList<QByteArray> kept;
    for (qsizetype i = 1; i < segments.size(); ++i) {
        const QByteArray &segment = segments.at(i);
        if (segment != "." && segment != "..") {
            kept.append(segment);
            continue;
        }
        if (segment == ".." && !kept.isEmpty())
            kept.removeLast();
        // A path ending in a dot segment names a folder.
        if (i == segments.size() - 1)
            kept.append(QByteArray());
    }
    return '/' + kept.join('/');
}

struct Line {
    QByteArray key;
    QByteArray value;
};

// "Key: value # comment", the key in lower case; an empty key for no such line.
Line splitLine(QByteArray line)
{
    const qsizetype hash = line.indexOf('#');
    if (hash >= 0)
        line.truncate(hash);
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return {};
    return {line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()};
}

} // namespace

RobotsRules RobotsRules::disallowAll()
{
    RobotsRules rules;
    rules.m_rules.append({"/", false});
    return rules;
}

RobotsRules RobotsRules::parse(const QByteArray &body, const QByteArray &productToken)
{
    RobotsRules own;
    RobotsRules any;
    bool ownFound = false;
    bool anyFound = false;
    // The group being read: whether it is the crawler's own and whether it is "*"'s.
    bool inOwn = false;
    bool inAny = false;
    bool readingAgents = false;
    QByteArray text = body.left(MaxBytes);
    if (text.startsWith("\xef\xbb\xbf"))
        text.remove(0, 3);
    text.replace('\r', '\n');
    for (const QByteArray &raw : text.split('\n')) {
        const Line line = splitLine(raw);
        if (line.key == "user-agent") {
            if (!readingAgents)
                inOwn = inAny = false;
            readingAgents = true;
            // The product token is the value's first word, compared without case.
            const QByteArray agent = line.value.split(' ').first().split('/').first().toLower();
            if (agent == productToken.toLower()) {
                inOwn = ownFound = true;
            } else if (agent == "*") {
                inAny = anyFound = true;
            }
            continue;
        }
        if (line.key.isEmpty() || line.key == "sitemap")
            continue;
        readingAgents = false;
        const bool allow = line.key == "allow";
        if ((allow || line.key == "disallow") && !line.value.isEmpty()) {
            const Rule rule{normalized(line.value), allow};
            if (inOwn)
                own.m_rules.append(rule);
            if (inAny)
                any.m_rules.append(rule);
        } else if (line.key == "crawl-delay") {
            bool ok = false;
            const double seconds = line.value.toDouble(&ok);
            const int ms =
                ok && std::isfinite(seconds) && seconds > 0 ? int(std::lround(qMin(seconds, 30.0) * 1000)) : 0;
            if (inOwn)
                own.m_crawlDelayMs = qMax(own.m_crawlDelayMs, ms);
            if (inAny)
                any.m_crawlDelayMs = qMax(any.m_crawlDelayMs, ms);
        }
    }
    if (ownFound)
        return own;
    return anyFound ? any : RobotsRules();
}

bool RobotsRules::allows(const QByteArray &pathAndQuery) const
{
    QByteArray path = normalized(pathAndQuery.isEmpty() ? QByteArray("/") : pathAndQuery);
    const qsizetype query = path.contains('?') ? path.indexOf('?') : path.size();
    path = withoutDotSegments(path.left(query)) + path.mid(query);
    if (path == "/robots.txt")
        return true;
    qsizetype best = -1;
    bool allowed = true;
    for (const Rule &rule : m_rules) {
        const qsizetype length = rule.pattern.size();
        if (length < best || !matches(rule.pattern, path))
            continue;
        if (length > best || rule.allow)
            allowed = rule.allow;
        best = length;
    }
    return allowed;
}

// Matches the pattern against the start of the path ("$" at its end: the whole
// path), trying each "*" at its shortest first and going back only to the last
// star, so that no pattern costs more than the product of the two lengths.
bool RobotsRules::matches(const QByteArray &rawPattern, const QByteArray &path)
{
    QByteArray pattern = rawPattern;
    const bool anchored = pattern.endsWith('$');
    if (anchored)
        pattern.chop(1);
    qsizetype p = 0;
    qsizetype s = 0;
    qsizetype star = -1;
    qsizetype starAt = 0;
    for (;;) {
        if (p == pattern.size() && (!anchored || s == path.size()))
            return true;
        if (p < pattern.size() && pattern.at(p) == '*') {
            star = p++;
            starAt = s;
            continue;
        }
        if (p < pattern.size() && s < path.size() && pattern.at(p) == path.at(s)) {
            ++p;
            ++s;
            continue;
        }
        if (star < 0 || starAt >= path.size())
            return false;
        p = star + 1;
        s = ++starAt;
    }
}
