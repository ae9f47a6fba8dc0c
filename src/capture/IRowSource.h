#pragma once

#include "capture/QueuedRow.h"
#include "capture/RowChange.h"
#include "capture/RowResult.h"
#include "engine/PageOutcome.h"

#include <QString>

#include <optional>

// Where a run's rows come from, in list order, and whether each may start.
class IRowSource
{
public:
    enum class Answer {
        Row, // the next row
        End, // there are no more rows
        NotYet, // none now, but more may come as events come in (a file on its way)
    };
    struct Next {
        Answer answer = Answer::End;
        QString text; // the row as listed
        std::optional<QString> name; // its output name before numbering; none: the fixed rule
        QString failure; // why the row can never load (too long to be an address), or empty
        int depth = -1; // in a crawl, the row's link steps from a start address
        QString foundOn; // in a crawl, the page that linked to it
    };

    virtual ~IRowSource() = default;

    // Asked again, as events come in, after NotYet.
    virtual Next next() = 0;
    // Whether the row may be asked about and started now; a row the source
    // holds (it is still finding out whether to skip it) keeps its place while
    // other rows start, and is asked again as events come in. Asked only before
    // the row's first load.
    virtual bool readyToStart(const QueuedRow &row)
    {
        Q_UNUSED(row)
        return true;
    }
    // Why the row is left out, or empty; asked just before it would start.
    virtual QString skipReason(const QueuedRow &row, const QString &outputPath)
    {
        Q_UNUSED(row)
        Q_UNUSED(outputPath)
        return {};
    }
    // Why a row whose page loaded is skipped rather than written (it is the
    // same page as another row), or empty.
    virtual QString skipLoaded(const QueuedRow &row, const PageOutcome &outcome)
    {
        Q_UNUSED(row)
        Q_UNUSED(outcome)
        return {};
    }
    // A row known unchanged since its last load without loading it (a sitemap's
    // lastmod says so) ends saved as "same", its file untouched: the note that
    // says why; else empty. Asked just before it would start.
    virtual QString unchangedUnloaded(const QueuedRow &row, const QString &outputPath)
    {
        Q_UNUSED(row)
        Q_UNUSED(outputPath)
        return {};
    }
    // What the row's first load sends so that its page, unchanged since its
    // last save, answers 304 (none: loaded as usual); asked just before it.
    virtual PageValidators validatorsOf(const QueuedRow &row, const QString &outputPath)
    {
        Q_UNUSED(row)
        Q_UNUSED(outputPath)
        return {};
    }
    // How a loaded row's text (or failure) stands to its address's text of an
    // earlier run; asked before the text is written to `outputPath`.
    virtual RowChange changeOf(const QueuedRow &row, const PageOutcome &outcome, const QString &outputPath)
    {
        Q_UNUSED(row)
        Q_UNUSED(outcome)
        Q_UNUSED(outputPath)
        return {};
    }
    // Told how each row ended, before the run's observer.
    virtual void rowEnded(const RowResult &result) { Q_UNUSED(result) }
};
