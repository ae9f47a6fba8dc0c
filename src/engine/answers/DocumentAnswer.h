#pragma once

#include "engine/EngineOptions.h"
#include "engine/PageOutcome.h"
#include "engine/answers/DocumentKind.h"
#include "engine/answers/PdfText.h"
#include "engine/answers/ResponseBodyReader.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>

class IDevToolsSession;

// A row's answer that is no page, decided by its main document's content type
// at the response head (or by a local file's name): a page goes on to the
// browser; a PDF, plain text or XML is taken whole, under the page cap, and its
// request ended so that no viewer opens, and its text made from the body; any
// other type fails the row at once as no page.
class DocumentAnswer : public QObject
{
    Q_OBJECT

public:
    DocumentAnswer(IDevToolsSession &session, const EngineOptions &options, QObject *parent = nullptr);

    // The row's main document, paused at its response head; it is answered either way.
    void takeResponse(const QJsonObject &params);
    // A file: row whose name says it is no page is read here, without the browser;
    // false leaves the row to the browser.
    bool takeFile(const QString &url);
    // The row's answers are taken as their bodies' bytes, whatever their type,
    // up to `cap` bytes (0: the page cap).
    void setRawBody(bool raw, qint64 cap = 0)
    {
        m_rawBody = raw;
        m_rawCap = cap;
    }
    // The row's limit, which the reading of a PDF ends before.
    void setDeadline(const QDeadlineTimer &deadline) { m_deadline = deadline; }
    // Ends an answer still being made, and lets go of its request.
    void stop();

Q_SIGNALS:
    // The answer is this one's to make: the browser's document is not the row's.
    void taken();
    // The row's outcome.
    void done(const PageOutcome &outcome);

private:
    // Takes the answer (no page): what cannot give text fails at once.
    void take(const DocumentKind &kind);
    void onBody(const QByteArray &body);
    void makeText(const QByteArray &body);
    void endRequest();
    qint64 cap() const { return m_rawBody && m_rawCap > 0 ? m_rawCap : m_options.pageCap; }
    void fail(const QString &reason);
    void finish();

    IDevToolsSession &m_session;
    const EngineOptions &m_options;
    ResponseBodyReader m_reader;
    PdfText m_pdf;
    bool m_busy = false;
    bool m_rawBody = false;
    qint64 m_rawCap = 0;
    QDeadlineTimer m_deadline{QDeadlineTimer::Forever};
    QString m_requestId; // the paused request not yet answered
    DocumentKind m_kind;
    PageOutcome m_outcome;
};
