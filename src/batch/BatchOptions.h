#pragma once

#include "capture/SiteRules.h"
#include "crawl/ChangeTracker.h"
#include "crawl/CrawlSettings.h"
#include "engine/EngineOptions.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// A --sitemap or --feed address, whose rows the run takes.
struct WebSource {
    enum class Kind { Sitemap, Feed };
    Kind kind = Kind::Sitemap;
    QString address;
};

// Everything one textorin-batch run is asked to do, as its command line gives it.
struct BatchOptions {
    // A crawl's state file in its folder, unless --state names another.
    static inline const QString CrawlStateName = QStringLiteral(".textorin-crawl.sqlite");

    QStringList addresses; // -u, --url: rows before those of the list files
    QStringList listFiles; // -i FILE, then the LISTFILE arguments; "-" is standard input
    QString folder; // --folder; empty: the current directory
    bool folderGiven = false;
    EngineOptions engine; // the page options (--timeout … --block), the page form
    QString cookiesFile; // --cookies FILE, or empty
    QString rulesFile; // --rules FILE, or empty
    SiteRules rules; // what it sets per address pattern
    QString saveCookiesFile; // --save-cookies FILE, or empty
    bool proxyGiven = false; // --proxy; otherwise the proxy variables
    QString passwordFile; // --password-file FILE, or empty
    QString format = QStringLiteral("text"); // --format: a name of the output formats' table
    bool jsonLines = false; // --format jsonl: the json records of all rows in one file, one a line
    bool frontMatter = false; // --front-matter: each Markdown file headed by its page's metadata, in YAML
    int jobs = 4; // -j, --jobs
    int tries = 1; // --tries
    int hostWaitMs = 0; // --wait
    bool hostWaitGiven = false;
    bool noClobber = false; // --no-clobber
    QString archive; // --archive FILE, or empty
    QString report; // --report FILE ("-": standard output), or empty
    bool toStandardOutput = false; // -O -, --stdout: the texts go to standard output
    QString nameTemplate; // -o, --output TEMPLATE; empty: the naming rule
    bool restrictFilenames = false; // --restrict-filenames: names in ASCII, no blanks or shell-special characters
    QString retryFailed; // --retry-failed REPORT: its failed rows first, under their names
    // --sitemap URL and --feed URL in the order given: rows after those of the list files
    QList<WebSource> webSources;
    bool robots = false; // --robots, on by default in a crawl
    bool robotsGiven = false; // --robots or --robots off given
    int shard = 1; // --shard K/N
    int shards = 1;
    // Following links: -r, how far (-l; -1 without a limit), when to end, and where.
    bool recursive = false;
    int level = 5;
    int maxPages = 0; // --max-pages; 0: no limit
    qint64 timeLimitMs = 0; // --time-limit; 0: none
    int maxPagesPerHost = -1; // --max-pages-per-host; 0: no limit; -1: the crawl's default
    ScopeRules scope;
    QueryRules query; // --ignore-query, --ignore-query-param
    bool spider = false; // --spider: the addresses found, no files
    QString stateFile; // --state FILE; empty: a crawl's own in its folder
    bool newState = false; // --new-state
    // What changed since the last run of the state.
    bool changedOnly = false; // --changed-only
    bool diff = false; // --diff
    bool ignoreWhitespace = false; // --ignore-whitespace
    bool keepText = true; // --no-keep-text
    QDateTime sitemapChangedSince; // --sitemap-changed-since, UTC; null: every row
    bool quiet = false; // -q, --quiet
    bool verbose = false; // -v, --verbose
    QString engineLog; // --engine-log FILE: the engine's own diagnostics, appended

    // Whether the run keeps a state, which tells what changed (a spider's does not).
    bool tracksChanges() const { return (recursive || !stateFile.isEmpty()) && !spider; }
    ChangeTracker::Settings changeSettings() const
    {
        ChangeTracker::Settings settings;
        settings.ignoreWhitespace = ignoreWhitespace;
        settings.diff = diff;
        settings.changedOnly = changedOnly;
        settings.keepText = keepText;
        settings.keepLinks = engine.collectLinks;
        return settings;
    }

    CrawlSettings crawlSettings() const
    {
        CrawlSettings settings;
        settings.level = level;
        settings.maxPages = maxPages;
        settings.maxPagesPerHost = maxPagesPerHost;
        settings.followNofollow = !robots;
        settings.spider = spider;
        settings.query = query;
        settings.scope = scope;
        return settings;
    }
};
