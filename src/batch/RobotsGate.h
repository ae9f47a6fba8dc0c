#pragma once

#include "batch/RobotsRules.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class BodyFetch;
class QUrl;

// Whether robots.txt lets the batch load a row, or follow a row's redirect:
// each site's (scheme, host and port) robots.txt is fetched once, when its
// first row is read or a redirect first leads there. A 4xx answer allows
// everything; a 5xx one, or none, disallows the whole site.
class RobotsGate
{
public:
    static constexpr const char *ProductToken = "textorin";

    using Warn = std::function<void(const QString &warning)>;
    RobotsGate(BodyFetch &fetch, Warn warn);

    // Fetches the robots.txt of the row's site unless it is known already.
    void prepare(const QString &row);
    // Why robots.txt keeps the row from loading, or empty.
    QString skipReason(const QString &row) const;
    // Answers whether a row may follow a redirect to `target` (empty, or why
    // not): at once when its site's robots.txt is known, else at answerPending().
    using Answer = std::function<void(const QString &refusal)>;
    void checkRedirect(const QString &target, Answer answer);
    // Fetches the robots.txt files that redirects wait for, and answers them.
    // Called where the run may wait for a fetch, never while one is going on.
    void answerPending();
    // Refuses the redirects still waiting, as "robots.txt unavailable".
    void refusePending();
    // The longest Crawl-delay of the host's sites, in milliseconds (at most 30 s).
    int crawlDelayMs(const QString &host) const { return m_delayByHost.value(host); }

private:
    struct Site {
        RobotsRules rules;
        QString unavailable; // why its robots.txt could not be had, or empty
    };
    static QString siteOf(const QUrl &url);

    BodyFetch &m_fetch;
    Warn m_warn;
    QHash<QString, Site> m_sites;
    QHash<QString, int> m_delayByHost;
    QList<std::pair<QString, Answer>> m_pending; // redirects waiting for their site's robots.txt
    bool m_answering = false;
};
