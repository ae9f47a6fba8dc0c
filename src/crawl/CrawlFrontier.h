#pragma once

#include "capture/QueuedRow.h"
#include "capture/RowResult.h"
#include "crawl/CrawlScope.h"
#include "crawl/CrawlSettings.h"
#include "crawl/CrawlState.h"

#include <QHash>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

// The rows of a crawl: its start addresses, then the links of each saved page
// within the crawl's scope and level, each address once, in the order found.
// Every address seen and every row's end is recorded in the crawl's state, so
// the frontier lives on disk and a rerun goes on where the last one stopped.
class CrawlFrontier
{
public:
    struct Row {
        QString address; // what is loaded
        int depth = 0;
        QString foundOn;
        PageRecord previous = {}; // of the page last saved for the address, in an earlier pass
        QDateTime listedLastModified = {}; // a sitemap's lastmod for it
    };
    // A row given, until its end is known.
    struct Taken {
        qint64 id = 0;
        QString address; // normalised
        PageRecord previous;
        QDateTime listedLastModified;
    };
    // What a crawl left out, and how many pages it loaded, in this run.
    struct Counts {
        qint64 saved = 0;
        qint64 failed = 0;
        qint64 outOfScope = 0;
        qint64 robots = 0;
        qint64 duplicates = 0;
        qint64 notPages = 0;
        qint64 overHostLimit = 0;
    };
    using Found = std::function<void(const QString &address, int depth)>;

    CrawlFrontier(CrawlState &state, const CrawlSettings &settings);

    // Told of each address newly taken up (a start, or a link to load or list), as it is found.
    void setFound(Found found) { m_found = std::move(found); }
    // A start address, with a sitemap's lastmod for it; false when it is none a
    // crawl follows (it is then loaded as listed, unrecorded).
    bool addStart(const QString &address, const QDateTime &listedLastModified = {});
    // The next row to load, given as row `number` of the run, or none for now.
    std::optional<Row> next(qint64 number);
    // Rows given whose end is not known yet.
    bool hasRowsLoading() const { return !m_loading.isEmpty(); }
    // The pages loaded, over every run of the state, reached --max-pages.
    bool maxPagesReached() const;

    // Why a row is not loaded after all (its address names no page), or empty.
    QString skipReason(const QueuedRow &row) const;
    // Why a loaded row is the same page as another (its redirect's target or its
    // canonical address was seen first), or empty; either address counts as seen.
    QString sameAs(const QueuedRow &row, const PageOutcome &outcome);
    // The row given as `number`, while it goes on; null for a row the crawl does not record.
    const Taken *taken(qint64 number) const;
    // Records the row's end, with what is kept of its page; a saved page's links
    // are taken up (those kept of its last load when it was not loaded again).
    // `file`: relative to the folder.
    void ended(const RowResult &result, const QString &file, const SavedPage *saved = nullptr);
    // Whether every address found was loaded or left out: nothing is queued or loading.
    bool everyLinkFollowed() const;
    // Ends the pass: the next run begins the next one. Entries saved in an
    // earlier pass that no page links to any more are marked gone when `complete`,
    // and returned.
    QList<CrawlState::Entry> endPass(bool complete);

    const Counts &counts() const { return m_counts; }
    // The state could not be written: the crawl cannot go on (the reason), else empty.
    QString stateFailure() const { return m_stateFailure; }

private:
    using Loading = Taken;
    void takeUp(const Loading &page, const RowResult &result);
    PageLinks storedLinks(qint64 id) const;
    QList<CrawlState::Found> linksOf(const PageLinks &links, int depth) const;
    // The entry an address stands for when it is not this row's own, and was there first.
    std::optional<CrawlState::Entry> seenBefore(const QString &address, const Loading &row) const;
    void markSeen(const QString &address, const QString &sameAs);
    void noteStateFailure();
    bool overHostLimit(const CrawlState::Entry &entry);

    CrawlState &m_state;
    CrawlSettings m_settings;
    CrawlScope m_scope;
    Found m_found;
    std::deque<CrawlState::Entry> m_taken; // taken from the state, not given yet
    std::deque<QString> m_unrecorded; // starts a crawl cannot follow, loaded as listed
    QHash<qint64, Loading> m_loading; // by row number
    QHash<QString, qint64> m_pagesOfHost;
    qint64 m_pages = 0; // loaded or loading, over every run
    Counts m_counts;
    QString m_stateFailure;
};
