#pragma once

#include "engine/PageLinks.h"
#include "engine/PageMetadata.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// When a row's load reached each step, in milliseconds from its start; -1 when it did not.
struct PageTimings {
    qint64 navigate = -1; // the page was ready and the navigation sent
    qint64 response = -1; // the main document's answer arrived
    qint64 parsed = -1; // DOMContentLoaded
    qint64 loaded = -1; // the load event (or the load given up on a stalled resource)
    qint64 settled = -1; // waits and settle over, the text asked for
    qint64 text = -1; // the text arrived
};

// How one row's page ended: what it holds, or why it could not be had.
struct PageOutcome {
    // A page that loaded.
    QString content; // the body's text, or the document in the form the engine was asked for
    QString finalUrl; // the address the page ended at
    QString title; // the document's (or the article's) title
    QString lang; // the document's language, as its root element says
    PageMetadata metadata; // the rest of what the page states about itself
    int httpStatus = 0; // of the main document; 0 when it came by no HTTP answer
    QString etag; // of the main document's answer, as sent; empty when none
    QString lastModified; // of the main document's answer, as sent; empty when none
    // The server answered 304 to the row's validators: nothing was loaded or
    // rendered, the content is empty and the outcome is no failure.
    bool notModified = false;
    QString contentType; // of the main document, as its server named it
    QStringList redirects; // the addresses the main document was redirected to, in order
    QString note; // a remark on a saved page ("load incomplete"), or empty
    bool mainContentFallback = false; // asked for the article, the page had none
    bool selectNoMatch = false; // asked for parts, none matched: the whole page was kept
    // The converter failed on part of the page, which kept its text instead: why; else empty.
    QString formatFallback;
    // Of IPage::loadBody: the answer's body as it came (the content stays empty).
    QByteArray body;
    // The page's links, when the engine was asked to collect them; none for answers that are no page.
    PageLinks links;

    PageTimings timings;

    // A page that could not be had: why (without the address), empty when it loaded.
    QString failure;
    bool mayPass = false; // another try may succeed (a reset connection, a time-out, 429, 503, …)
    int retryAfterMs = -1; // the pause the server asked for (Retry-After), or -1
    bool engineMissing = false; // no page can load at all
    // The browser was shut down or restarted for another page's sake while the
    // row had not failed on its own: worth one more load, whatever the tries.
    bool lostToRestart = false;
    // The row was left unloaded because its redirect check refused where it led;
    // `failure` says why. No failure of the page: the front end skips the row.
    bool refused = false;

    bool failed() const { return !failure.isEmpty(); }

    static PageOutcome failedWith(const QString &reason, bool mayPass = false)
    {
        PageOutcome outcome;
        outcome.failure = reason;
        outcome.mayPass = mayPass;
        return outcome;
    }
};
