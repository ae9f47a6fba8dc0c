#pragma once

#include "engine/load/PageLoad.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

class IDevToolsSession;

// Watches one row's document arrive in the page's main frame: the navigate
// command's reply, the main document's network events and the frame's
// lifecycle go into PageLoad. A navigation the page makes by itself once its
// document is in is followed, a few times (one more is a runaway); an aborted
// load waits a moment for the signs of a download before it counts as a failure.
class DocumentWatch : public QObject
{
    Q_OBJECT

public:
    DocumentWatch(IDevToolsSession &session, qint64 pageCap, QObject *parent = nullptr);

    // Forgets the last row's document; events are ignored until begin.
    void clear();
    // A navigation of the main frame `frameId` starts.
    void begin(const QString &frameId);
    // The row's navigation is made again after it was displaced.
    void restart();
    // Events no longer change the load (its text is being taken).
    void close();

    // The reply to the navigate command.
    void navigated(const QJsonObject &result);

    const PageLoad &load() const { return m_load; }
    // The addresses the row's main document was redirected to, in order.
    const QStringList &redirects() const { return m_redirects; }
    // When the row's first document request left, on the monotonic clock; -1 before.
    qint64 requestedAtMs() const { return m_requestedAtMs; }

Q_SIGNALS:
    // The load may have failed, been parsed or loaded.
    void changed();
    // The page moved on by itself (script or refresh): its new document is the row's.
    void followed();
    // The page moved on by itself once more than it is followed: it never stays.
    void runaway();
    // A navigation the row did not make (one left by the page before, such as a
    // reload) aborted the row's before its document came: it is to be made again.
    void displaced();

private:
    using Handler = void (DocumentWatch::*)(const QJsonObject &params);
    // `handler` hears events `method` while the watch is open.
    void watch(IDevToolsSession &session, const QString &method, Handler handler);
    void onRequest(const QJsonObject &params);
    void onResponse(const QJsonObject &params);
    void onRawResponse(const QJsonObject &params);
    void onData(const QJsonObject &params);
    void onFailed(const QJsonObject &params);
    void onLifecycle(const QJsonObject &params);
    void onStopped(const QJsonObject &params);
    void onNavigated(const QJsonObject &params);
    void onStartedNavigating(const QJsonObject &params);
    void onDownload(const QJsonObject &params);
    void onFrameNavigated(const QJsonObject &frame);
    bool wasDisplaced() const;
    void update();

    const qint64 m_pageCap;
    PageLoad m_load;
    QString m_frameId;
    QSet<QString> m_documentRequests;
    bool m_open = false;
    bool m_committed = false;
    QString m_lastCommit; // the loader of the main frame's last document
    int m_follows = 0;
    QSet<QString> m_startedLoaders; // the main frame's navigations since begin
    int m_restarts = 0;
    qint64 m_requestedAtMs = -1;
    QStringList m_redirects;
    QTimer m_abortWait;
};
