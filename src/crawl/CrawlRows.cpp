#include "crawl/CrawlRows.h"

#include "capture/OutputFile.h"
#include "crawl/CrawlState.h"
#include "support/RuntimeError.h"

#include <QFile>
#include <QFileInfo>

CrawlRows::CrawlRows(const Settings &settings, Warn warn) : m_settings(settings), m_warn(std::move(warn)) {}

CrawlRows::~CrawlRows() = default;

bool CrawlRows::open(const QString &path, const QStringList &starts, bool newState, QString *error)
{
    auto state = std::make_unique<CrawlState>();
    if (!state->open(path, m_settings.crawl.key(starts), newState, error))
        return false;
    m_state = std::move(state);
    m_frontier = std::make_unique<CrawlFrontier>(*m_state, m_settings.crawl);
    if (m_settings.tracksChanges)
        m_changes = std::make_unique<ChangeTracker>(*m_state, m_settings.changes);
    return true;
}

const CrawlFrontier::Taken *CrawlRows::tracked(qint64 row) const
{
    return m_changes ? m_frontier->taken(row) : nullptr;
}

bool CrawlRows::mayKeep(const QueuedRow &row, const CrawlFrontier::Taken &taken, const QString &outputPath) const
{
    const PageRecord &previous = taken.previous;
    if (previous.isEmpty())
        return false;
    const int level = m_settings.crawl.level;
    const bool linksNeeded = m_settings.changes.keepLinks && (level < 0 || row.depth < level);
    if (linksNeeded && !previous.linksKept)
        return false;
    // Standard output gets no text from an earlier run: only rows that changed may skip theirs.
    return m_settings.namesFiles ? ChangeTracker::fileMatches(outputPath, previous) : m_settings.changes.changedOnly;
}

QString CrawlRows::unchangedUnloaded(const QueuedRow &row, const QString &outputPath) const
{
    const CrawlFrontier::Taken *taken = tracked(row.number);
    if (!taken || !taken->listedLastModified.isValid())
        return {};
    // A lastmod of a day alone counts from that day's end; a last load in the
    // future (the clock was set back since) proves nothing.
    QDateTime changed = taken->listedLastModified;
    if (changed.time() == QTime(0, 0))
        changed = changed.addDays(1);
    const QDateTime loaded = taken->previous.loadedAt;
    if (!loaded.isValid() || changed >= loaded || loaded > QDateTime::currentDateTimeUtc()
        || !mayKeep(row, *taken, outputPath))
        return {};
    return QStringLiteral("not loaded: the sitemap's lastmod is older than its last load");
}

PageValidators CrawlRows::validatorsOf(const QueuedRow &row, const QString &outputPath) const
{
    const CrawlFrontier::Taken *taken = tracked(row.number);
    if (!taken || !mayKeep(row, *taken, outputPath))
        return {};
    return {taken->previous.etag, taken->previous.lastModified};
}

RowChange CrawlRows::changeOf(const QueuedRow &row, const PageOutcome &outcome, const QString &outputPath)
{
    const CrawlFrontier::Taken *taken = tracked(row.number);
    if (!taken)
        return {};
    return m_changes->changeOf(taken->id, taken->previous, outcome, m_settings.namesFiles ? outputPath : QString());
}

void CrawlRows::rowEnded(const RowResult &result, const QString &file)
{
    std::optional<SavedPage> saved;
    const CrawlFrontier::Taken *taken = m_frontier->taken(result.row);
    if (m_changes && taken && result.saved())
        saved = m_changes->savedPageOf(taken->previous, result);
    m_frontier->ended(result, file, saved ? &*saved : nullptr);
    if (m_settings.writesDiffs && m_settings.namesFiles && result.saved())
        writeDiff(result);
}

// A changed row's diff beside its file; the diff of an earlier run goes once the row is no longer changed.
void CrawlRows::writeDiff(const RowResult &result)
{
    const QString path = result.outputPath + QStringLiteral(".diff");
    if (result.change.kind != RowChange::Kind::Changed || result.change.diff.isEmpty()) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            m_warn(QStringLiteral("cannot remove %1, the diff of an earlier run").arg(path));
        return;
    }
    try {
        OutputFileWriter writer;
        writer.open(path);
        writer.write(result.change.diff);
        writer.close();
    } catch (const RuntimeError &error) {
        m_warn(QStringLiteral("cannot write %1: %2").arg(path, error.description()));
    }
}
