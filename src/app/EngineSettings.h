#pragma once

#include "capture/SiteRules.h"
#include "crawl/CrawlRows.h"
#include "engine/EngineOptions.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

class SettingsStore;

// The window's page options, from its settings file, in the text forms of the
// batch's options (see SettingsKeys): what to save, how to load and who the
// browser is. A value that cannot be used is named among the problems and its
// default taken instead.
class EngineSettings
{
public:
    // What a run of the window uses.
    struct Read {
        EngineOptions options;
        QString format = QStringLiteral("text"); // a name of the output formats' table
        int tries = 1;
        int hostWaitMs = 0;
        int pagesAtOnce = 1;
        SiteRules rules; // "Rules File"'s
        // Following links from the list's rows, and telling what changed since
        // the last run: both keep a state in the folder.
        bool followLinks = false;
        bool trackChanges = false;
        int level = 5; // link steps; -1 without a limit
        int maxPages = 0; // 0: no limit
        ChangeTracker::Settings changes;
        QStringList problems;

        bool keepsState() const { return followLinks || trackChanges; }
        // The crawl of a run that keeps a state.
        CrawlRows::Settings crawlSettings() const;
    };
    // The text of each key; an empty text is a key not set.
    using Values = std::function<QString(const QString &key)>;

    static Read read(const SettingsStore &settings, const EngineOptions &defaults = {},
                     const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    static Read read(const Values &values, const EngineOptions &defaults = {},
                     const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // The first of the values that cannot be used, named by its key as read()
    // names it; empty when every one can. Skipped cookie lines and the proxy
    // variables are no refusal.
    static QString refusal(const Values &values);
    // The keys read, in the order read.
    static QStringList keys();
    // "1", "true", "yes", "on" or their opposites, stored in `field`; else what was wanted.
    static QString readSwitch(const QString &value, bool &field);
    // What the window shows when a run starts with problems.
    static QString problemsText(const QStringList &problems);
};
