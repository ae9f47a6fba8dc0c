#pragma once

#include "batch/RobotsRules.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>

class BodyFetch;
class QUrl;
struct PageOutcome;

// Whether robots.txt lets the batch load a row, or follow a row's redirect:
// each site's (scheme, host and port) robots.txt is fetched once, in the
// background, when its first row is read or a redirect first leads there. A
// 4xx answer allows everything; a 5xx one, or none within the fetch limit,
// disallows the whole site.
class RobotsGate
{
public:
    static constexpr const char *ProductToken = "textorin";
    // The longest a robots.txt is waited for; shorter with a short page limit.
    static constexpr int FetchLimitMs = 5000;

    using Warn = std::function<void(const QString &warning)>;
    RobotsGate(BodyFetch &fetch, int pageLimitMs, Warn warn);
    ~RobotsGate();

    // Starts fetching the robots.txt of the row's site unless it is known or on its way.
    void prepare(const QString &row);
    // Whether the robots.txt the row depends on is in (true too for a row of no site).
    bool isKnown(const QString &row) const;
    // Why robots.txt keeps the row from loading, or empty.
    QString skipReason(const QString &row) const;
    // Answers whether a row may follow a redirect to `target` (empty, or why
    // not): at once when its site's robots.txt is known, else once it is in.
    using Answer = std::function<void(const QString &refusal)>;
    void checkRedirect(const QString &target, Answer answer);
    // Refuses the redirects still waiting, as "robots.txt unavailable", and
    // ends the fetches still going on.
    void refusePending();
    // The longest Crawl-delay of the host's sites, in milliseconds (at most 30 s).
    int crawlDelayMs(const QString &host) const { return m_delayByHost.value(host); }

private:
    struct Site {
        RobotsRules rules;
        QString unavailable; // why its robots.txt could not be had, or empty
    };
    static QString siteOf(const QUrl &url);
    void learn(const QString &site, const QString &host, const PageOutcome &answer);

    BodyFetch &m_fetch;
    std::chrono::milliseconds m_limit;
    Warn m_warn;
    QHash<QString, Site> m_sites;
    QSet<QString> m_fetching; // sites whose robots.txt is on its way
    QHash<QString, int> m_delayByHost;
    QList<std::pair<QString, Answer>> m_pending; // redirects waiting, by site
};
