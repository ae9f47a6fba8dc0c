#pragma once

#include "engine/EngineOptions.h"
#include "engine/PageOutcome.h"
#include "engine/PageValidators.h"

#include <QString>

#include <functional>
#include <optional>
#include <utility>

// One page of the hidden browser: it loads one row at a time and answers it
// with one outcome.
class IPage
{
public:
    virtual ~IPage() = default;

    // Starts loading the row (as listed: the page decides how to load it or refuses it).
    virtual void load(const QString &row) = 0;
    // The page options the next loads use in place of the engine's (a site's
    // rule), or none. What the browser is started with (proxy, language,
    // certificates, window size, the settle) stays the engine's.
    virtual void setRowOptions(const std::optional<EngineOptions> &options) { Q_UNUSED(options) }
    // Starts loading the address for the bytes of its answer's body, whatever
    // their type (PageOutcome::body), up to `capBytes` (0: the page cap).
    virtual void loadBody(const QString &address, qint64 capBytes = 0)
    {
        Q_UNUSED(capBytes)
        load(address);
    }
    // Starts loading the row as load() does, its main document asked for only
    // if it changed since `validators` (If-None-Match, If-Modified-Since); an
    // answer 304 ends the row at once as `notModified`, nothing rendered.
    virtual void loadIfChanged(const QString &row, const PageValidators &validators)
    {
        Q_UNUSED(validators)
        load(row);
    }
    // Ends the row loading at once (the run was stopped): its outcome is dropped,
    // the page is idle and may load again right away.
    virtual void abort() {}
    // True once the row's outcome is known.
    virtual bool isDone() const = 0;
    // The row's outcome; a load still going on is ended first and fails as timed out.
    virtual PageOutcome takeOutcome() = 0;
    // When the row's page first asked for its document, in milliseconds of the
    // monotonic clock (that of a QElapsedTimer started then), or -1 while it has not.
    virtual qint64 requestedAtMs() const { return -1; }
    // Why no page can be loaded at all (the engine is missing), or empty.
    virtual QString unavailableReason() const { return {}; }

    // Asked before a row's main document follows a redirect to `target`; the
    // answer, given at once or later, is empty to follow it, else why the row
    // is left unloaded (its outcome is then `refused`).
    using RedirectAnswer = std::function<void(const QString &refusal)>;
    using RedirectCheck = std::function<void(const QString &target, RedirectAnswer answer)>;
    virtual void setRedirectCheck(RedirectCheck check) { Q_UNUSED(check) }

    // Called each time a row becomes done, so that a waiting run looks again.
    void setDoneHandler(std::function<void()> handler) { m_doneHandler = std::move(handler); }

protected:
    void notifyDone()
    {
        if (m_doneHandler)
            m_doneHandler();
    }

private:
    std::function<void()> m_doneHandler;
};
