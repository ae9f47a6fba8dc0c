#pragma once

#include "crawl/PageRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// Every address a crawl has seen, in one SQLite file that the run holds locked
// from open to close: the frontier lives on disk, and a run that stopped in any
// way resumes with nothing saved loaded twice. A run that finds nothing queued
// begins a new pass, in which every address is new to the frontier again while
// the record of its last saved page stays, to compare with. Nothing is kept
// per entry in memory.
class CrawlState
{
public:
    enum class Status { Queued, Loading, Saved, Failed, Skipped, OutOfScope, Gone };
    struct Entry {
        qint64 id = 0;
        QString address; // normalised, unique
        QString listed; // as found (absolute), what is loaded
        int depth = 0;
        QString foundOn; // the normalised address of the page it was found on; empty for a start
        Status status = Status::Queued;
        QString reason;
        QString file; // the file written, relative to the destination folder
        int pass = 1; // the pass that found it last
        QDateTime listedLastModified; // a sitemap's lastmod for it, in the pass that found it
        PageRecord saved; // of the page last saved, over every pass
    };
    struct Found {
        QString address; // normalised
        QString listed;
        Status status = Status::Queued; // Queued, Skipped (with a reason) or OutOfScope
        QString reason;
        QDateTime listedLastModified = {};
    };
    CrawlState();
    ~CrawlState(); // closes the file, releasing its lock
    CrawlState(const CrawlState &) = delete;
    CrawlState &operator=(const CrawlState &) = delete;

    // Opens the file, creating it when missing; false with a message naming the file:
    // held by another running process, made by another crawl (its key differs) unless
    // `fresh`, damaged (not SQLite, failing quick_check, missing tables), or of a newer
    // version. `fresh` (--new-state) empties a file of another crawl or of this one and
    // takes the key; a damaged or newer file is refused even then, never replaced.
    bool open(const QString &path, const QByteArray &crawlKey, bool fresh, QString *error);
    bool isOpen() const;
    // Whether the file held no crawl before this open (made now, or emptied by `fresh`).
    bool startedAfresh() const;
    // The pass this open goes on with (from 1).
    int pass() const { return m_pass; }
    // Adds the addresses not seen in this pass, in one transaction, in the order given;
    // the ones added (seen ones are left as they are); none on a write failure (lastWriteFailed()).
    QList<Found> add(const QList<Found> &found, int depth, const QString &foundOn);
    // Up to `count` queued entries in the order they were added, marked Loading (one transaction).
    QList<Entry> takeQueued(int count);
    // Records how an entry ended, with the page it saved (one transaction); false
    // on a write failure (error()). An empty `file` keeps the one recorded.
    bool finish(qint64 id, Status status, const QString &reason, const QString &file, const SavedPage *saved = nullptr);
    // Records an entry saved before as gone (its page answered 404 or 410, or
    // no page links to it any more): its record, text and links are dropped.
    bool markGone(qint64 id, Status status, const QString &reason);
    // The compressed text and links kept of the entry's last saved page; empty when none.
    QByteArray storedText(qint64 id) const;
    QByteArray storedLinks(qint64 id) const;
    // Marks this pass ended: the next open begins the next one.
    bool endPass();
    // Entries saved in an earlier pass that no page of this one linked to (start addresses aside).
    QList<Entry> unlinked() const;
    std::optional<Entry> find(const QString &address) const;
    // Entries of this pass with the status.
    qint64 count(Status status) const;
    // Entries of the host taken so far in this pass: loading, saved or failed (the per-host page limit).
    qint64 takenOfHost(const QString &host) const;
    // Each address's file, of any pass, in the order added (to keep names taken on resume).
    void forEachSaved(const std::function<void(const QString &address, const QString &file)> &visit) const;
    QString error() const; // the last failure, naming the file
    QString path() const;

    // Whether the last add, takeQueued or finish failed (error() says why); the
    // file is as it was before that call.
    bool lastWriteFailed() const { return m_lastWriteFailed; }
    // Closes the file, releasing its lock (open() and the destructor do it too).
    void close();
    // The status as the file writes it ("queued", "out_of_scope", …).
    static QString statusName(Status status);

private:
    struct Finalize {
        void operator()(sqlite3_stmt *statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

    bool openFile(const QByteArray &crawlKey, bool fresh);
    bool takeFile(const QByteArray &crawlKey, bool fresh);
    bool checkExisting(const QByteArray &crawlKey, bool fresh);
    bool createSchema(const QByteArray &crawlKey);
    bool upgrade(int version);
    bool beginPass();
    QByteArray blobOf(sqlite3_stmt *statement, qint64 id) const;
    bool record(qint64 id, const SavedPage &saved);
    bool empty(const QByteArray &crawlKey);
    bool prepareAll();
    Statement prepare(const char *sql) const;
    int exec(const char *sql) const;
    bool setMeta(const char *key, const QByteArray &value);
    std::optional<QByteArray> meta(const char *key) const;
    bool hasTable(const char *name) const;
    bool refuse(const QString &message);
    bool damaged(const QString &reason);
    // Runs `work` in one transaction; false, with the file as it was, when any of it fails.
    bool write(const std::function<bool()> &work);
    bool writeFailed(const QString &reason);
    QString sqliteReason() const;
    qint64 countOf(sqlite3_stmt *statement) const;

    QString m_path;
    sqlite3 *m_db = nullptr;
    bool m_startedAfresh = false;
    bool m_lastWriteFailed = false;
    int m_pass = 1;
    mutable QString m_error;
    Statement m_insert;
    Statement m_queued;
    Statement m_markLoading;
    Statement m_finish;
    Statement m_find;
    Statement m_count;
    Statement m_hostCount;
    Statement m_record;
    Statement m_setText;
    Statement m_setLinks;
    Statement m_text;
    Statement m_links;
    Statement m_gone;
};
