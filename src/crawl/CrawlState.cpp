// The state file, for those who query it with sqlite3 (WAL, synchronous=FULL,
// held by an exclusive lock while a run has it open):
//
//   meta       key TEXT PRIMARY KEY, value TEXT: version (1), crawl_key, created, opened
//   addresses  id INTEGER PRIMARY KEY      the order found
//              address TEXT UNIQUE         normalised
//              listed                      as found, what is loaded
//              host                        the address's host
//              depth                       links followed from a start address
//              found_on                    the address of the page it was found on; NULL for a start
//              status                      queued, loading, saved, failed, skipped, out_of_scope
//              reason, file                why it ended so; the file written, relative to the destination
//              found_at, updated_at        ISO 8601, UTC
//   indexes    addresses_queue (status, id), addresses_host (host, status)
#include "crawl/CrawlState.h"

#include "crawl/CrawlAddress.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

#include <array>

namespace {

constexpr int Version = 1;

const std::array<const char *, 6> StatusNames{"queued", "loading", "saved", "failed", "skipped", "out_of_scope"};

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

const char EntryColumns[] = "id, address, listed, depth, found_on, status, reason, file";

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
    for (Statement *statement : {&m_insert, &m_queued, &m_markLoading, &m_finish, &m_find, &m_count, &m_hostCount})
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
        || !setMeta("opened", now().toUtf8()))
        return writeFailed(sqliteReason());
    return true;
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
    if (exec(Schema) != SQLITE_OK || !setMeta("version", QByteArray::number(Version)))
        return writeFailed(sqliteReason());
    return empty(crawlKey);
}

bool CrawlState::empty(const QByteArray &crawlKey)
{
    if (exec("DELETE FROM addresses") != SQLITE_OK || !setMeta("crawl_key", crawlKey)
        || !setMeta("created", now().toUtf8()))
        return writeFailed(sqliteReason());
    m_startedAfresh = true;
    return true;
}

bool CrawlState::prepareAll()
{
    m_insert = prepare("INSERT INTO addresses (address, listed, host, depth, found_on, status, reason, found_at, "
                       "updated_at) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?8) ON CONFLICT (address) DO NOTHING");
    m_queued =
        prepare((QByteArray("SELECT ") + EntryColumns + " FROM addresses WHERE status = 'queued' ORDER BY id LIMIT ?1")
                    .constData());
    m_markLoading = prepare("UPDATE addresses SET status = 'loading', updated_at = ?2 WHERE id = ?1");
    m_finish = prepare("UPDATE addresses SET status = ?2, reason = ?3, file = ?4, updated_at = ?5 WHERE id = ?1");
    m_find = prepare((QByteArray("SELECT ") + EntryColumns + " FROM addresses WHERE address = ?1").constData());
    m_count = prepare("SELECT count(*) FROM addresses WHERE status = ?1");
    m_hostCount =
        prepare("SELECT count(*) FROM addresses WHERE host = ?1 AND status IN ('loading', 'saved', 'failed')");
    return m_insert && m_queued && m_markLoading && m_finish && m_find && m_count && m_hostCount;
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

bool CrawlState::finish(qint64 id, Status status, const QString &reason, const QString &file)
{
    const auto record = [&] {
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
        return true;
    };
    return write(record);
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
    return qMax<qint64>(0, countOf(m_count.get()));
}

qint64 CrawlState::takenOfHost(const QString &host) const
{
    if (!m_db)
        return 0;
    bindText(m_hostCount.get(), 1, host);
    return qMax<qint64>(0, countOf(m_hostCount.get()));
}

void CrawlState::forEachSaved(const std::function<void(const QString &address, const QString &file)> &visit) const
{
    if (!m_db)
        return;
    const Statement saved = prepare("SELECT address, file FROM addresses WHERE status = 'saved' ORDER BY id");
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
