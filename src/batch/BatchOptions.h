#pragma once

#include "engine/EngineOptions.h"

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
    QStringList addresses; // -u, --url: rows before those of the list files
    QStringList listFiles; // -i FILE, then the LISTFILE arguments; "-" is standard input
    QString folder; // --folder; empty: the current directory
    bool folderGiven = false;
    EngineOptions engine; // the page options (--timeout … --block), the page form
    QString cookiesFile; // --cookies FILE, or empty
    QString saveCookiesFile; // --save-cookies FILE, or empty
    bool proxyGiven = false; // --proxy; otherwise the proxy variables
    QString passwordFile; // --password-file FILE, or empty
    QString format = QStringLiteral("text"); // --format: a name of the output formats' table
    int jobs = 4; // -j, --jobs
    int tries = 1; // --tries
    int hostWaitMs = 0; // --wait
    bool noClobber = false; // --no-clobber
    QString archive; // --archive FILE, or empty
    QString report; // --report FILE ("-": standard output), or empty
    bool toStandardOutput = false; // -O -, --stdout: the texts go to standard output
    QString nameTemplate; // -o, --output TEMPLATE; empty: the naming rule
    // --sitemap URL and --feed URL in the order given: rows after those of the list files
    QList<WebSource> webSources;
    bool robots = false; // --robots
    int shard = 1; // --shard K/N
    int shards = 1;
    bool quiet = false; // -q, --quiet
    bool verbose = false; // -v, --verbose
};
