#pragma once

#include "batch/RobotsRules.h"

#include <QHash>
#include <QString>

#include <functional>

class BodyFetch;
class QUrl;

// Whether robots.txt lets the batch load a row: each site's (scheme, host and
// port) robots.txt is fetched once, when its first row is read. A 4xx answer
// allows everything; a 5xx one, or none, disallows the whole site.
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
};
