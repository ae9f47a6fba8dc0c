#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The rules a robots.txt gives one crawler: the groups whose user-agent lines
// name its product token, else those of "*", merged. A path is allowed unless
// its longest matching rule is a Disallow (an Allow wins a tie); "*" matches
// any run of characters and a final "$" the end of the path. Crawl-delay is
// read too, though it is no part of the standard rules.
class RobotsRules
{
public:
    // Everything allowed (no robots.txt, or one that answered 4xx).
    static RobotsRules allowAll() { return {}; }
    // Nothing allowed (a robots.txt that could not be had).
    static RobotsRules disallowAll();
    // The rules of a robots.txt body for the product token, such as "textorin".
    static RobotsRules parse(const QByteArray &body, const QByteArray &productToken);

    // Whether the crawler may load the path with its query ("/a/b?c"), percent-encoded,
    // as the engine requests it: its dot segments resolved, unreserved characters
    // unescaped (an escaped "/" stays one), escapes compared without case.
    bool allows(const QByteArray &pathAndQuery) const;
    // The group's Crawl-delay in milliseconds, or 0.
    int crawlDelayMs() const { return m_crawlDelayMs; }

    // The most of a robots.txt that is read.
    static constexpr qsizetype MaxBytes = 512 * 1024;

private:
    struct Rule {
        QByteArray pattern;
        bool allow = false;
    };
    static bool matches(const QByteArray &pattern, const QByteArray &path);

    QList<Rule> m_rules;
    int m_crawlDelayMs = 0;
};
