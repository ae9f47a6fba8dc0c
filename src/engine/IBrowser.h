#pragma once

#include <QString>

// The hidden browser that loads each page of a capture run.
class IBrowser
{
public:
    virtual ~IBrowser() = default;

    static constexpr int ReadyStateComplete = 4;

    // Starts loading the address; from here on the ready state is that of the new page.
    virtual void navigate(const QString &url) = 0;
    // 4 once the row's outcome is known: its text taken, or its failure.
    virtual int readyState() const = 0;
    // The rendered text of the loaded document's body. Raises a RuntimeError
    // naming the address when the page could not be had.
    virtual QString bodyInnerText() = 0;
    // A remark on the last page saved ("load incomplete"), or empty.
    virtual QString loadNote() const { return {}; }
    // Why no page can be loaded at all (the engine is missing), or empty.
    virtual QString unavailableReason() const { return {}; }
    // Whether the last page's failure may pass on another try (a reset
    // connection, a time-out, HTTP 408, 429, 502, 503 or 504).
    virtual bool failureMayPass() const { return false; }
    // The pause the last page's server asked for (Retry-After), or -1.
    virtual int retryAfterMs() const { return -1; }
    // The HTTP status of the last page's main document, 0 when it had none.
    virtual int httpStatus() const { return 0; }
    // Whether the last page, asked for its main content, had none and gave its whole body.
    virtual bool mainContentFallback() const { return false; }

    // The address as messages show it: quoted when blank, shortened when huge.
    static QString shownAddress(const QString &row)
    {
        if (row.trimmed().isEmpty())
            return QStringLiteral("\"%1\"").arg(row);
        return row.size() > 2000 ? row.left(2000) + QStringLiteral("…") : row;
    }
};
