// The state file, for those who query it with sqlite3 (WAL, synchronous=FULL,
// held by an exclusive lock while a run has it open):
//
//   meta       key TEXT PRIMARY KEY, value TEXT: version (2), crawl_key, created, opened, pass
//   addresses  id INTEGER PRIMARY KEY      the order found
//              address TEXT UNIQUE         normalised
//              listed                      as found, what is loaded
//              host                        the address's host
//              depth                       links followed from a start address
//              found_on                    the address of the page it was found on; NULL for a start
//              status                      queued, loading, saved, failed, skipped, out_of_scope, gone
//              reason, file                why it ended so; the file written, relative to the destination
//              found_at, updated_at        ISO 8601, UTC
//              pass                        the pass that found it last (a run that finds nothing
//                                          queued begins the next pass)
//              lastmod                     a sitemap's lastmod for it, ISO 8601
//              final_url, etag, last_modified, loaded_at
//                                          of the page last saved: where it ended, its validators
//              output_sha256               hex SHA-256 of the bytes written
//              text_sha256, collapsed_sha256  of its text, and of the text with whitespace collapsed
//              previous_text, links        zlib-compressed (Qt's qCompress): the text, and the
//                                          page's links as JSON
//   indexes    addresses_queue (status, id), addresses_host (host, status)
#include "crawl/CrawlState.h"

#include "crawl/CrawlAddress.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

#include <array>

namespace {

constexpr int Version = 2;

const std::array<const char *, 7> StatusNames{"queued",  "loading",      "saved", "failed",
                                              "skipped", "out_of_scope", "gone"};

const char Schema[] = R"(
CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE addresses (
    id INTEGER PRIMARY KEY,
    address TEXT UNIQUE NOT NULL,
    listed TEXT,
    host TEXT,
    depth INTEGER NOT NULL,
    found_on TEXT,
    status TEXT NOT NULL,
    reason TEXT,
    file TEXT,
    found_at TEXT NOT NULL,
    updated_at TEXT NOT NULL
);
CREATE INDEX addresses_queue ON addresses (status, id);
CREATE INDEX addresses_host ON addresses (host, status);
)";

// What version 2 adds to version 1, whose entries are of pass 1.
const char ChangeColumns[] = R"(
ALTER TABLE addresses ADD COLUMN pass INTEGER NOT NULL DEFAULT 1;
ALTER TABLE addresses ADD COLUMN lastmod TEXT;
ALTER TABLE addresses ADD COLUMN final_url TEXT;
ALTER TABLE addresses ADD COLUMN etag TEXT;
ALTER TABLE addresses ADD COLUMN last_modified TEXT;
ALTER TABLE addresses ADD COLUMN loaded_at TEXT;
ALTER TABLE addresses ADD COLUMN output_sha256 TEXT;
ALTER TABLE addresses ADD COLUMN text_sha256 TEXT;
ALTER TABLE addresses ADD COLUMN collapsed_sha256 TEXT;
ALTER TABLE addresses ADD COLUMN previous_text BLOB;
ALTER TABLE addresses ADD COLUMN links BLOB;
)";

const char EntryColumns[] = "id, address, listed, depth, found_on, status, reason, file, pass, lastmod, final_url, "
                            "etag, last_modified, loaded_at, output_sha256, text_sha256, collapsed_sha256, "
                            "links IS NOT NULL";

QString now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

CrawlState::Status statusOf(const QByteArray &name)
{
    for (size_t i = 0; i < StatusNames.size(); ++i) {
        if (name == StatusNames[i])
            return CrawlState::Status(i);
    }
    return CrawlState::Status::Failed;
}

// Binds the text at `index`; an empty one as NULL when `emptyIsNull`.
void bindText(sqlite3_stmt *statement, int index, const QString &text, bool emptyIsNull = false)
{
    if (emptyIsNull && text.isEmpty()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void bindBytes(sqlite3_stmt *statement, int index, const QByteArray &bytes)
{
    sqlite3_bind_text(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

// An empty blob as NULL.
void bindBlob(sqlite3_stmt *statement, int index, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        sqlite3_bind_null(statement, index);
    else
        sqlite3_bind_blob64(statement, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
}

void bindTime(sqlite3_stmt *statement, int index, const QDateTime &time)
{
    if (!time.isValid())
        sqlite3_bind_null(statement, index);
    else
        bindBytes(statement, index, time.toUTC().toString(Qt::ISODateWithMs).toUtf8());
}

QByteArray bytesAt(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return QByteArray(text, sqlite3_column_bytes(statement, column));
}

QString textAt(sqlite3_stmt *statement, int column)
{
    return QString::fromUtf8(bytesAt(statement, column));
}

CrawlState::Entry entryAt(sqlite3_stmt *statement)
{
    CrawlState::Entry entry;
    entry.id = sqlite3_column_int64(statement, 0);
    entry.address = textAt(statement, 1);
    entry.listed = textAt(statement, 2);
    entry.depth = sqlite3_column_int(statement, 3);
    entry.foundOn = textAt(statement, 4);
    entry.status = statusOf(bytesAt(statement, 5));
    entry.reason = textAt(statement, 6);
    entry.file = textAt(statement, 7);
    entry.pass = sqlite3_column_int(statement, 8);
    entry.listedLastModified = QDateTime::fromString(textAt(statement, 9), Qt::ISODate);
    PageRecord &saved = entry.saved;
    saved.finalUrl = textAt(statement, 10);
    saved.etag = textAt(statement, 11);
    saved.lastModified = textAt(statement, 12);
    saved.loadedAt = QDateTime::fromString(textAt(statement, 13), Qt::ISODateWithMs);
    saved.outputSha256 = bytesAt(statement, 14);
    saved.textSha256 = bytesAt(statement, 15);
    saved.collapsedSha256 = bytesAt(statement, 16);
    saved.linksKept = sqlite3_column_int(statement, 17) != 0;
    return entry;
}

// Resets the statement (and its bindings) when the step it guards is done.
class ResetLater
{
public:
    explicit ResetLater(sqlite3_stmt *statement) : m_statement(statement) {}
    ~ResetLater()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    ResetLater(const ResetLater &) = delete;
    ResetLater &operator=(const ResetLater &) = delete;

private:
    sqlite3_stmt *m_statement;
};

// The first 16 bytes of every SQLite database; a missing or empty file is taken as new.
bool mayBeSqlite(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return true;
    return file.read(16) == QByteArray("SQLite format 3", 16);
}

} // namespace

void CrawlState::Finalize::operator()(sqlite3_stmt *statement) const
{
    sqlite3_finalize(statement);
}

CrawlState::CrawlState() = default;

CrawlState::~CrawlState()
{
    close();
}

QString CrawlState::statusName(Status status)
{
    return QLatin1String(StatusNames[size_t(status)]);
}

bool CrawlState::open(const QString &path, const QByteArray &crawlKey, bool fresh, QString *error)
{
    close();
    m_path = path;
    m_error.clear();
    m_startedAfresh = false;
    m_lastWriteFailed = false;
    if (openFile(crawlKey, fresh))
        return true;
    close();
    if (error)
        *error = m_error;
    return false;
}

void CrawlState::close()
{
    for (Statement *statement : {&m_insert, &m_queued, &m_markLoading, &m_finish, &m_find, &m_count, &m_hostCount,
                                 &m_record, &m_setText, &m_setLinks, &m_text, &m_links, &m_gone})
        statement->reset();
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

bool CrawlState::openFile(const QByteArray &crawlKey, bool fresh)
{
    if (!mayBeSqlite(m_path))
        return damaged(QStringLiteral("not a crawl state file"));
    const int opened = sqlite3_open_v2(QFile::encodeName(m_path).constData(), &m_db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (opened != SQLITE_OK)
        return refuse(QStringLiteral("Cannot open %1 (%2)").arg(m_path, sqliteReason()));
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 0);
    // Exclusive before the first read, so that the WAL index lives in memory and
    // the lock, once taken, is kept until close; the kernel drops it when a run dies.
    exec("PRAGMA locking_mode = EXCLUSIVE");
    exec("PRAGMA synchronous = FULL");
    const int begun = exec("BEGIN IMMEDIATE");
    if ((begun & 0xff) == SQLITE_BUSY || (begun & 0xff) == SQLITE_LOCKED)
        return refuse(QStringLiteral("%1 is in use by another textorin-batch run").arg(m_path));
    if ((begun & 0xff) == SQLITE_NOTADB || (begun & 0xff) == SQLITE_CORRUPT)
        return damaged(sqliteReason());
    if (begun != SQLITE_OK)
        return refuse(QStringLiteral("Cannot open %1 (%2)").arg(m_path, sqliteReason()));
    if (!takeFile(crawlKey, fresh)) {
        exec("ROLLBACK");
        return false;
    }
    if (exec("COMMIT") != SQLITE_OK) {
        const QString reason = sqliteReason();
        exec("ROLLBACK");
        return writeFailed(reason);
    }
    Statement mode = prepare("PRAGMA journal_mode = WAL");
    if (!mode || sqlite3_step(mode.get()) != SQLITE_ROW || bytesAt(mode.get(), 0) != "wal")
        return writeFailed(sqliteReason());
    return true;
}

// Inside the opening transaction: checks what the file holds, makes or empties
// it, and writes at once so that the lock is held from now on. Nothing is
// written to a file that is refused.
bool CrawlState::takeFile(const QByteArray &crawlKey, bool fresh)
{
    Statement objects = prepare("SELECT count(*) FROM sqlite_master");
    if (!objects)
        return damaged(sqliteReason());
    const qint64 objectCount = countOf(objects.get());
    objects.reset();
    if (objectCount < 0)
        return damaged(sqliteReason());
    if (objectCount == 0) {
        if (!createSchema(crawlKey))
            return false;
        m_startedAfresh = true;
    } else if (!checkExisting(crawlKey, fresh)) {
        return false;
    }
    if (!prepareAll())
        return damaged(sqliteReason());
    if (exec("UPDATE addresses SET status = 'queued' WHERE status = 'loading'") != SQLITE_OK
        || !setMeta("opened", now().toUtf8()) || !beginPass())
        return writeFailed(sqliteReason());
    return true;
}

// The pass of this open: the last one goes on unless it ended.
bool CrawlState::beginPass()
{
    m_pass = qMax(1, meta("pass").value_or(QByteArray("1")).toInt());
    if (meta("pass_ended") != QByteArray("1"))
        return true;
    ++m_pass;
    return setMeta("pass", QByteArray::number(m_pass)) && setMeta("pass_ended", "0");
}

bool CrawlState::endPass()
{
    return write([this] { return setMeta("pass_ended", "1"); });
}

bool CrawlState::checkExisting(const QByteArray &crawlKey, bool fresh)
{
    Statement check = prepare("PRAGMA quick_check(1)");
    if (!check)
        return damaged(sqliteReason());
    const int checked = sqlite3_step(check.get());
    if (checked != SQLITE_ROW)
        return damaged(sqliteReason());
    const QString verdict = textAt(check.get(), 0);
    check.reset();
    if (verdict != QLatin1String("ok"))
        return damaged(verdict);
    if (!hasTable("meta"))
        return damaged(QStringLiteral("missing table meta"));
    bool isNumber = false;
    const int version = meta("version").value_or(QByteArray()).toInt(&isNumber);
    if (!isNumber || version < 1)
        return damaged(QStringLiteral("no state version"));
    if (version > Version)
        return refuse(QStringLiteral("%1 was written by a newer textorin-batch (state version %2) and is left as it is")
                          .arg(m_path)
                          .arg(version));
    if (!hasTable("addresses"))
        return damaged(QStringLiteral("missing table addresses"));
    if (version < Version && !upgrade(version))
        return false;
    if (meta("crawl_key") == crawlKey && !fresh)
        return true;
    if (!fresh)
        return refuse(QStringLiteral("%1 holds another crawl (other start addresses or scope); give --new-state to "
                                     "start it afresh, or --state FILE to keep both")
                          .arg(m_path));
    return empty(crawlKey);
}

bool CrawlState::createSchema(const QByteArray &crawlKey)
{
    if (exec(Schema) != SQLITE_OK || exec(ChangeColumns) != SQLITE_OK
        || !setMeta("version", QByteArray::number(Version)))
        return writeFailed(sqliteReason());
    return empty(crawlKey);
}

// A file of version 1: its crawl is the first pass, ended when nothing was left to load.
bool CrawlState::upgrade(int version)
{
    if (version == 1) {
        Statement left = prepare("SELECT count(*) FROM addresses WHERE status IN ('queued', 'loading')");
        const qint64 unfinished = left ? countOf(left.get()) : -1;
        left.reset();
        if (unfinished < 0)
            return damaged(sqliteReason());
        if (exec(ChangeColumns) != SQLITE_OK || !setMeta("pass", "1")
            || !setMeta("pass_ended", unfinished == 0 ? "1" : "0"))
            return writeFailed(sqliteReason());
    }
    if (!setMeta("version", QByteArray::number(Version)))
        return writeFailed(sqliteReason());
    return true;
}

bool CrawlState::empty(const QByteArray &crawlKey)
{
    if (exec("DELETE FROM addresses") != SQLITE_OK || !setMeta("crawl_key", crawlKey)
        || !setMeta("created", now().toUtf8()) || !setMeta("pass", "1") || !setMeta("pass_ended", "0"))
        return writeFailed(sqliteReason());
    m_startedAfresh = true;
    return true;
}

bool CrawlState::prepareAll()
{
    // An address of an earlier pass is found anew; its record stays.
    m_insert = prepare(
        "INSERT INTO addresses (address, listed, host, depth, found_on, status, reason, found_at, updated_at, pass, "
        "lastmod) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?8, ?9, ?10) ON CONFLICT (address) DO UPDATE SET "
        "listed = excluded.listed, depth = excluded.depth, found_on = excluded.found_on, status = excluded.status, "
        "reason = excluded.reason, updated_at = excluded.updated_at, pass = excluded.pass, lastmod = excluded.lastmod "
        "WHERE addresses.pass < excluded.pass");
    m_queued =
        prepare((QByteArray("SELECT ") + EntryColumns + " FROM addresses WHERE status = 'queued' ORDER BY id LIMIT ?1")
                    .constData());
    m_markLoading = prepare("UPDATE addresses SET status = 'loading', updated_at = ?2 WHERE id = ?1");
    m_finish = prepare(
        "UPDATE addresses SET status = ?2, reason = ?3, file = coalesce(?4, file), updated_at = ?5 WHERE id = ?1");
    m_record = prepare("UPDATE addresses SET final_url = ?2, etag = ?3, last_modified = ?4, loaded_at = ?5, "
                       "output_sha256 = ?6, text_sha256 = ?7, collapsed_sha256 = ?8 WHERE id = ?1");
    m_setText = prepare("UPDATE addresses SET previous_text = ?2 WHERE id = ?1");
    m_setLinks = prepare("UPDATE addresses SET links = ?2 WHERE id = ?1");
    m_text = prepare("SELECT previous_text FROM addresses WHERE id = ?1");
    m_links = prepare("SELECT links FROM addresses WHERE id = ?1");
    m_gone = prepare("UPDATE addresses SET status = ?2, reason = ?3, updated_at = ?4, final_url = NULL, etag = NULL, "
                     "last_modified = NULL, loaded_at = NULL, output_sha256 = NULL, text_sha256 = NULL, "
                     "collapsed_sha256 = NULL, previous_text = NULL, links = NULL WHERE id = ?1");
    m_find = prepare((QByteArray("SELECT ") + EntryColumns + " FROM addresses WHERE address = ?1").constData());
    m_count = prepare("SELECT count(*) FROM addresses WHERE status = ?1 AND pass = ?2");
    m_hostCount = prepare(
        "SELECT count(*) FROM addresses WHERE host = ?1 AND status IN ('loading', 'saved', 'failed') AND pass = ?2");
    return m_insert && m_queued && m_markLoading && m_finish && m_find && m_count && m_hostCount && m_record
        && m_setText && m_setLinks && m_text && m_links && m_gone;
}

CrawlState::Statement CrawlState::prepare(const char *sql) const
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return {};
    }
    return Statement(statement);
}

int CrawlState::exec(const char *sql) const
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

bool CrawlState::setMeta(const char *key, const QByteArray &value)
{
    const Statement set =
        prepare("INSERT INTO meta (key, value) VALUES (?1, ?2) ON CONFLICT (key) DO UPDATE SET value = ?2");
    if (!set)
        return false;
    sqlite3_bind_text(set.get(), 1, key, -1, SQLITE_STATIC);
    bindBytes(set.get(), 2, value);
    return sqlite3_step(set.get()) == SQLITE_DONE;
}

std::optional<QByteArray> CrawlState::meta(const char *key) const
{
    const Statement get = prepare("SELECT value FROM meta WHERE key = ?1");
    if (!get)
        return std::nullopt;
    sqlite3_bind_text(get.get(), 1, key, -1, SQLITE_STATIC);
    if (sqlite3_step(get.get()) != SQLITE_ROW)
        return std::nullopt;
    return bytesAt(get.get(), 0);
}

bool CrawlState::hasTable(const char *name) const
{
    const Statement table = prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1");
    if (!table)
        return false;
    sqlite3_bind_text(table.get(), 1, name, -1, SQLITE_STATIC);
    return countOf(table.get()) == 1;
}

bool CrawlState::refuse(const QString &message)
{
    m_error = message;
    return false;
}

bool CrawlState::damaged(const QString &reason)
{
    return refuse(
        QStringLiteral("%1 is damaged (%2) and is left as it is; remove it or give --state FILE").arg(m_path, reason));
}

bool CrawlState::write(const std::function<bool()> &work)
{
    m_lastWriteFailed = false;
    if (!m_db)
        return writeFailed(QStringLiteral("not open"));
    if (exec("BEGIN IMMEDIATE") == SQLITE_OK && work() && exec("COMMIT") == SQLITE_OK)
        return true;
    // A failed step may have ended the transaction already; the rollback then only fails.
    const bool recorded = m_lastWriteFailed;
    const QString reason = sqliteReason();
    exec("ROLLBACK");
    return recorded ? false : writeFailed(reason);
}

bool CrawlState::writeFailed(const QString &reason)
{
    m_lastWriteFailed = true;
    return refuse(QStringLiteral("Cannot write %1 (%2)").arg(m_path, reason));
}

QString CrawlState::sqliteReason() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
}

// The one count the statement selects, with its bindings; -1 when it fails.
qint64 CrawlState::countOf(sqlite3_stmt *statement) const
{
    const ResetLater reset(statement);
    if (sqlite3_step(statement) != SQLITE_ROW) {
        m_error = QStringLiteral("Cannot read %1 (%2)").arg(m_path, sqliteReason());
        return -1;
    }
    return sqlite3_column_int64(statement, 0);
}

bool CrawlState::isOpen() const
{
    return m_db != nullptr;
}

bool CrawlState::startedAfresh() const
{
    return m_startedAfresh;
}

QList<CrawlState::Found> CrawlState::add(const QList<Found> &found, int depth, const QString &foundOn)
{
    QList<Found> added;
    const QString at = now();
    const auto insertAll = [&] {
        for (const Found &one : found) {
            const ResetLater reset(m_insert.get());
            bindText(m_insert.get(), 1, one.address);
            bindText(m_insert.get(), 2, one.listed, true);
            bindText(m_insert.get(), 3, CrawlAddress::hostOf(one.address), true);
            sqlite3_bind_int(m_insert.get(), 4, depth);
            bindText(m_insert.get(), 5, foundOn, true);
            sqlite3_bind_text(m_insert.get(), 6, StatusNames[size_t(one.status)], -1, SQLITE_STATIC);
            bindText(m_insert.get(), 7, one.reason, true);
            bindText(m_insert.get(), 8, at);
            sqlite3_bind_int(m_insert.get(), 9, m_pass);
            bindTime(m_insert.get(), 10, one.listedLastModified);
            if (sqlite3_step(m_insert.get()) != SQLITE_DONE)
                return false;
            if (sqlite3_changes(m_db) > 0)
                added.append(one);
        }
        return true;
    };
    if (!write(insertAll))
        return {};
    return added;
}

QList<CrawlState::Entry> CrawlState::takeQueued(int count)
{
    QList<Entry> taken;
    const QString at = now();
    const auto take = [&] {
        {
            const ResetLater reset(m_queued.get());
            sqlite3_bind_int(m_queued.get(), 1, qMax(0, count)); // a negative limit is none
            int stepped = SQLITE_ROW;
            while ((stepped = sqlite3_step(m_queued.get())) == SQLITE_ROW)
                taken.append(entryAt(m_queued.get()));
            if (stepped != SQLITE_DONE)
                return false;
        }
        for (Entry &entry : taken) {
            const ResetLater reset(m_markLoading.get());
            sqlite3_bind_int64(m_markLoading.get(), 1, entry.id);
            bindText(m_markLoading.get(), 2, at);
            if (sqlite3_step(m_markLoading.get()) != SQLITE_DONE)
                return false;
            entry.status = Status::Loading;
        }
        return true;
    };
    if (!write(take))
        return {};
    return taken;
}

bool CrawlState::finish(qint64 id, Status status, const QString &reason, const QString &file, const SavedPage *saved)
{
    const auto finishEntry = [&] {
        const ResetLater reset(m_finish.get());
        sqlite3_bind_int64(m_finish.get(), 1, id);
        sqlite3_bind_text(m_finish.get(), 2, StatusNames[size_t(status)], -1, SQLITE_STATIC);
        bindText(m_finish.get(), 3, reason, true);
        bindText(m_finish.get(), 4, file, true);
        bindText(m_finish.get(), 5, now());
        if (sqlite3_step(m_finish.get()) != SQLITE_DONE)
            return false;
        if (sqlite3_changes(m_db) == 0)
            return writeFailed(QStringLiteral("no entry %1").arg(id));
        return !saved || record(id, *saved);
    };
    return write(finishEntry);
}

bool CrawlState::record(qint64 id, const SavedPage &saved)
{
    const PageRecord &page = saved.record;
    {
        const ResetLater reset(m_record.get());
        sqlite3_bind_int64(m_record.get(), 1, id);
        bindText(m_record.get(), 2, page.finalUrl, true);
        bindText(m_record.get(), 3, page.etag, true);
        bindText(m_record.get(), 4, page.lastModified, true);
        bindTime(m_record.get(), 5, page.loadedAt);
        bindText(m_record.get(), 6, QString::fromLatin1(page.outputSha256), true);
        bindText(m_record.get(), 7, QString::fromLatin1(page.textSha256), true);
        bindText(m_record.get(), 8, QString::fromLatin1(page.collapsedSha256), true);
        if (sqlite3_step(m_record.get()) != SQLITE_DONE)
            return false;
    }
    const std::pair<sqlite3_stmt *, const std::optional<QByteArray> *> blobs[] = {{m_setText.get(), &saved.text},
                                                                                  {m_setLinks.get(), &saved.links}};
    for (const auto &[statement, blob] : blobs) {
        if (!*blob)
            continue;
        const ResetLater reset(statement);
        sqlite3_bind_int64(statement, 1, id);
        bindBlob(statement, 2, **blob);
        if (sqlite3_step(statement) != SQLITE_DONE)
            return false;
    }
    return true;
}

bool CrawlState::markGone(qint64 id, Status status, const QString &reason)
{
    const auto forget = [&] {
        const ResetLater reset(m_gone.get());
        sqlite3_bind_int64(m_gone.get(), 1, id);
        sqlite3_bind_text(m_gone.get(), 2, StatusNames[size_t(status)], -1, SQLITE_STATIC);
        bindText(m_gone.get(), 3, reason, true);
        bindText(m_gone.get(), 4, now());
        return sqlite3_step(m_gone.get()) == SQLITE_DONE;
    };
    return write(forget);
}

QByteArray CrawlState::blobOf(sqlite3_stmt *statement, qint64 id) const
{
    if (!m_db)
        return {};
    const ResetLater reset(statement);
    sqlite3_bind_int64(statement, 1, id);
    if (sqlite3_step(statement) != SQLITE_ROW)
        return {};
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, 0));
    return QByteArray(bytes, sqlite3_column_bytes(statement, 0));
}

QByteArray CrawlState::storedText(qint64 id) const
{
    return blobOf(m_text.get(), id);
}

QByteArray CrawlState::storedLinks(qint64 id) const
{
    return blobOf(m_links.get(), id);
}

QList<CrawlState::Entry> CrawlState::unlinked() const
{
    QList<Entry> entries;
    if (!m_db)
        return entries;
    const Statement earlier =
        prepare((QByteArray("SELECT ") + EntryColumns
                 + " FROM addresses WHERE status = 'saved' AND depth > 0 AND pass < ?1 ORDER BY id")
                    .constData());
    if (!earlier)
        return entries;
    sqlite3_bind_int(earlier.get(), 1, m_pass);
    while (sqlite3_step(earlier.get()) == SQLITE_ROW)
        entries.append(entryAt(earlier.get()));
    return entries;
}

std::optional<CrawlState::Entry> CrawlState::find(const QString &address) const
{
    if (!m_db)
        return std::nullopt;
    const ResetLater reset(m_find.get());
    bindText(m_find.get(), 1, address);
    if (sqlite3_step(m_find.get()) != SQLITE_ROW)
        return std::nullopt;
    return entryAt(m_find.get());
}

qint64 CrawlState::count(Status status) const
{
    if (!m_db)
        return 0;
    sqlite3_bind_text(m_count.get(), 1, StatusNames[size_t(status)], -1, SQLITE_STATIC);
    sqlite3_bind_int(m_count.get(), 2, m_pass);
    return qMax<qint64>(0, countOf(m_count.get()));
}

qint64 CrawlState::takenOfHost(const QString &host) const
{
    if (!m_db)
        return 0;
    bindText(m_hostCount.get(), 1, host);
    sqlite3_bind_int(m_hostCount.get(), 2, m_pass);
    return qMax<qint64>(0, countOf(m_hostCount.get()));
}

void CrawlState::forEachSaved(const std::function<void(const QString &address, const QString &file)> &visit) const
{
    if (!m_db)
        return;
    const Statement saved = prepare("SELECT address, file FROM addresses WHERE file IS NOT NULL ORDER BY id");
    while (saved && sqlite3_step(saved.get()) == SQLITE_ROW)
        visit(textAt(saved.get(), 0), textAt(saved.get(), 1));
}

QString CrawlState::error() const
{
    return m_error;
}

QString CrawlState::path() const
{
    return m_path;
}
