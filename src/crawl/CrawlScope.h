#pragma once

#include "crawl/ScopeRules.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

class QUrl;

// Whether a crawl follows a normalised address: its rules in a fixed order, the first that
// refuses naming itself in the verdict's reason.
class CrawlScope
{
public:
    struct Verdict {
        enum class Kind { Follow, OutOfScope, NotAPage };
        Kind kind = Kind::Follow;
        QString reason; // empty for Follow
    };

    explicit CrawlScope(const ScopeRules &rules);

    // Why the pattern is no regular expression, naming the position, or empty:
    // e.g. "wants a regular expression: missing closing parenthesis at position 4".
    static QString regexProblem(const QString &pattern);

    // A start address (normalised): its host is in scope, and with -np its folder and below.
    void addStart(const QString &normalisedAddress);
    Verdict verdict(const QString &normalisedAddress) const;

private:
    QString hostRefusal(const QUrl &url) const;
    bool belowStartFolder(const QUrl &url) const;
    QString suffixRefusal(const QString &lastSegment, Verdict::Kind *kind) const;

    ScopeRules m_rules;
    QRegularExpression m_acceptRegex;
    QRegularExpression m_rejectRegex;
    QList<QRegularExpression> m_accept;
    QList<QRegularExpression> m_reject;
    QStringList m_domains; // in their ACE form
    QHash<QString, QStringList> m_startFolders; // the start hosts (file addresses apart), with their folders
};
