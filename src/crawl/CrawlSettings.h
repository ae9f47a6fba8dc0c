#pragma once

#include "crawl/QueryRules.h"
#include "crawl/ScopeRules.h"

#include <QByteArray>
#include <QStringList>

// How far and where a crawl follows links, and when it ends.
struct CrawlSettings {
    // A crawl's own politeness, unless the command line says otherwise.
    static constexpr int DefaultWaitMs = 100;
    static constexpr qint64 DefaultMaxPagesPerHost = 50'000;

    int level = 5; // link steps from a start address; -1 without a limit
    qint64 maxPages = 0; // pages loaded (saved or failed), over every run of the state; 0: no limit
    qint64 maxPagesPerHost = 0; // the same for each host; 0: no limit
    bool followNofollow = false; // robots.txt not obeyed: nofollow links are followed too
    bool spider = false; // the addresses are listed; pages of the last level are not loaded
    QueryRules query;
    ScopeRules scope;

    // What tells one crawl from another: its start and what it follows, not its limits.
    QByteArray key(const QStringList &starts) const;
};
