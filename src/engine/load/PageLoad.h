#pragma once

#include "engine/PageValidators.h"

#include <QHash>
#include <QString>

// One row's main-frame navigation, followed through the DevTools events that
// carry its loader id. Events of other documents never change it; events that
// arrive before the id is known are kept and applied once it is.
class PageLoad
{
public:
    explicit PageLoad(qint64 pageCap = 16 * 1024 * 1024) : m_pageCap(pageCap) {}

    // The reply to the navigate command: an error name, or the new document's
    // loader id (none for a change within the current document).
    void navigated(const QString &loaderId, const QString &errorText, bool isDownload);
    // A navigation the page started itself after the row's document arrived.
    void follow(const QString &loaderId);

    void documentResponse(const QString &requestId, int status, const QString &statusText, bool attachment,
                          qint64 contentLength, int retryAfterMs = -1, const QString &mimeType = {});
    // The answer's ETag and Last-Modified, as sent.
    void documentValidators(const QString &requestId, const PageValidators &validators);
    void documentData(const QString &requestId, qint64 bytes);
    // The document's raw headers name it an attachment (they may come alone, for a download).
    void documentAttachment(const QString &requestId);
    void documentFailed(const QString &requestId, const QString &errorText);
    void lifecycle(const QString &loaderId, const QString &name);
    // The frame stopped loading the document it committed last (the page's own
    // window.stop(), or the end of its load): what came of it is in.
    void stopped(const QString &loaderId);
    void download();

    const QString &loaderId() const { return m_loaderId; }
    bool withinDocument() const { return m_withinDocument; }
    bool failed() const { return !m_failure.isEmpty(); }
    // The load was aborted, which a download also is: the failure waits for
    // decideAbort, so that a download's own signals can name it.
    bool abortPending() const { return m_abortPending && !failed(); }
    void decideAbort();
    // Why the page cannot be saved, or empty.
    QString failure() const { return m_failure; }
    bool parsed() const { return m_withinDocument || current().parsed || current().stopped; }
    bool loaded() const { return m_withinDocument || current().loaded || current().stopped; }
    // The document was stopped before its load event.
    bool stoppedEarly() const { return !m_withinDocument && current().stopped && !current().loaded; }
    int httpStatus() const { return current().status; }
    const QString &contentType() const { return current().mimeType; }
    int retryAfterMs() const { return current().retryAfterMs; }
    const PageValidators &validators() const { return current().validators; }
    // Whether the failure may pass on another try.
    bool mayPass() const;

    static QString httpStatusText(int status, const QString &statusText = {});
    QString tooLargeText() const { return tooLargeText(m_pageCap); }
    static QString tooLargeText(qint64 pageCap);

private:
    struct Document {
        int status = 0;
        QString statusText;
        QString mimeType;
        bool attachment = false;
        qint64 bytes = 0;
        QString errorText;
        bool parsed = false;
        bool loaded = false;
        bool stopped = false;
        int retryAfterMs = -1;
        PageValidators validators;
    };

    const Document &current() const;
    void update();

    qint64 m_pageCap;
    QHash<QString, Document> m_documents;
    QString m_loaderId;
    QString m_failure;
    bool m_replied = false;
    bool m_withinDocument = false;
    bool m_download = false;
    bool m_abortPending = false;
    bool m_abortDecided = false;
};
