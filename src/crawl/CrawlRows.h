#pragma once

#include "capture/IRowSource.h"
#include "crawl/ChangeTracker.h"
#include "crawl/CrawlFrontier.h"
#include "crawl/CrawlSettings.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CrawlState;

// A crawl as a row source answers the queue for it: its state on disk, its
// frontier and, when the state tells what changed, each row's change, the
// validators of its last save and its diff beside its file.
class CrawlRows
{
public:
    struct Settings {
        CrawlSettings crawl;
        bool tracksChanges = false;
        ChangeTracker::Settings changes;
        // The texts go to files (not to standard output): files are compared and diffs written.
        bool namesFiles = true;
        // NAME.diff beside a changed row's file (not for JSON records, which carry theirs).
        bool writesDiffs = false;
    };
    using Warn = std::function<void(const QString &warning)>;

    CrawlRows(const Settings &settings, Warn warn);
    ~CrawlRows();

    // Opens the state at `path` for the crawl of these start addresses (or
    // lists); false with the reason it cannot be used.
    bool open(const QString &path, const QStringList &starts, bool newState, QString *error);

    CrawlFrontier &frontier() { return *m_frontier; }
    const CrawlFrontier &frontier() const { return *m_frontier; }
    CrawlState &state() { return *m_state; }
    const CrawlState &state() const { return *m_state; }

    // The IRowSource calls of a crawl's rows.
    QString skipReason(const QueuedRow &row) const { return m_frontier->skipReason(row); }
    QString skipLoaded(const QueuedRow &row, const PageOutcome &outcome) { return m_frontier->sameAs(row, outcome); }
    QString unchangedUnloaded(const QueuedRow &row, const QString &outputPath) const;
    PageValidators validatorsOf(const QueuedRow &row, const QString &outputPath) const;
    RowChange changeOf(const QueuedRow &row, const PageOutcome &outcome, const QString &outputPath);
    // Commits the row's end; `file` is its name in the folder.
    void rowEnded(const RowResult &result, const QString &file);

private:
    // Whether the row's last saved text stands for its page now without a full
    // load: its file holds it (or only changed rows are written) and, when the
    // crawl follows its links, they were kept.
    bool mayKeep(const QueuedRow &row, const CrawlFrontier::Taken &taken, const QString &outputPath) const;
    const CrawlFrontier::Taken *tracked(qint64 row) const;
    void writeDiff(const RowResult &result);

    Settings m_settings;
    Warn m_warn;
    std::unique_ptr<CrawlState> m_state;
    std::unique_ptr<CrawlFrontier> m_frontier;
    std::unique_ptr<ChangeTracker> m_changes;
};
