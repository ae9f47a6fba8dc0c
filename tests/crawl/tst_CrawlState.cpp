#include "crawl/CrawlState.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

using Status = CrawlState::Status;

namespace {

const QByteArray Key("start http://a.test/ scope same-host");
const char HoldMode[] = "--hold-state";

CrawlState::Found queued(const QString &address)
{
    return {address, address, Status::Queued, {}};
}

QStringList addressesOf(const QList<CrawlState::Found> &found)
{
    QStringList addresses;
    for (const CrawlState::Found &one : found)
        addresses.append(one.address);
    return addresses;
}

QStringList addressesOf(const QList<CrawlState::Entry> &entries)
{
    QStringList addresses;
    for (const CrawlState::Entry &entry : entries)
        addresses.append(entry.address);
    return addresses;
}

QStringList pages(const QString &host, int count, int length = 0)
{
    QStringList addresses;
    for (int i = 0; i < count; ++i)
        addresses.append(QStringLiteral("http://%1/%2/%3").arg(host).arg(i).arg(QString(length, QLatin1Char('p'))));
    return addresses;
}

QList<CrawlState::Found> found(const QStringList &addresses)
{
    QList<CrawlState::Found> all;
    for (const QString &address : addresses)
        all.append(queued(address));
    return all;
}

// Runs SQL on the file as another program would; false when it fails.
bool runSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    const bool ran = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ran;
}

// A state of this crawl holding the addresses, closed.
bool makeState(const QString &path, const QStringList &addresses, const QByteArray &key = Key)
{
    CrawlState state;
    QString error;
    return state.open(path, key, false, &error) && state.add(found(addresses), 0, {}).size() == addresses.size();
}

// The file a refusal case starts from.
bool makeFile(const QString &kind, const QString &path)
{
    if (kind == QLatin1String("text"))
        return writeTestFile(path, "http://a.test/\nhttp://b.test/\n");
    if (kind == QLatin1String("empty"))
        return writeTestFile(path);
    if (kind == QLatin1String("foreign"))
        return runSql(path, "CREATE TABLE notes (line TEXT); INSERT INTO notes VALUES ('kept');");
    if (kind == QLatin1String("newer"))
        return makeState(path, pages(QStringLiteral("a.test"), 3))
            && runSql(path, "UPDATE meta SET value = '3' WHERE key = 'version'");
    if (kind == QLatin1String("other key"))
        return makeState(path, pages(QStringLiteral("a.test"), 3), "start http://b.test/");
    if (kind == QLatin1String("same key"))
        return makeState(path, pages(QStringLiteral("a.test"), 3));
    if (kind == QLatin1String("truncated")) {
        QFile file(path);
        return makeState(path, pages(QStringLiteral("a.test"), 400, 200)) && file.resize(file.size() / 2);
    }
    return false;
}

// `message` with %1 the path; a * stands for any reason.
bool matches(const QString &error, const QString &message, const QString &path)
{
    const QStringList parts = message.arg(path).split(QLatin1Char('*'));
    return parts.size() == 1 ? error == parts[0] : error.startsWith(parts[0]) && error.endsWith(parts[1]);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

// This test program in its hold mode, in a process group of its own, which it
// kills and reaps however the test ends.
class Holder
{
public:
    bool start(const QString &path, int take)
    {
        m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QLatin1String(HoldMode), path, QString::number(take)});
        while (m_process.waitForReadyRead(30000)) {
            if (m_process.canReadLine())
                return m_process.readLine() == "held\n";
        }
        return false;
    }
    QString errors() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }
    void kill()
    {
        if (m_process.state() != QProcess::NotRunning)
            ::kill(-pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(30000);
    }
    ~Holder() { kill(); }

private:
    QProcess m_process;
};

// The hold mode: opens the state, takes `take` entries and waits to be killed.
int holdState(const QString &path, int take)
{
    CrawlState state;
    QString error;
    if (!state.open(path, Key, false, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    if (state.takeQueued(take).size() != take)
        return 3;
    std::puts("held");
    std::fflush(stdout);
    for (;;)
        ::pause();
}

} // namespace

class TestCrawlState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entriesKeepTheirOrderAndAreAddedOnce();
    void killedRunResumesWithItsEntriesQueued();
    void refusesFilesItCannotTake_data();
    void refusesFilesItCannotTake();
    void writeFailureLeavesTheFileAsItWas();
    void endedPassIsRunAgainWithItsRecords();
    void versionOneFileIsUpgraded_data();
    void versionOneFileIsUpgraded();
};

void TestCrawlState::entriesKeepTheirOrderAndAreAddedOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crawl.state"));
    const QString start = QStringLiteral("http://a.test/");
    {
        CrawlState state;
        QString error;
        QVERIFY2(state.open(path, Key, false, &error), qPrintable(error));
        QVERIFY(state.startedAfresh());
        QCOMPARE(addressesOf(state.add({queued(start)}, 0, {})), QStringList{start});

        const QList<CrawlState::Found> links{
            queued(QStringLiteral("http://a.test/b")),
            queued(start),
            {QStringLiteral("http://a.test/private"), QStringLiteral("http://a.test/private#x"), Status::Skipped,
             QStringLiteral("robots.txt")},
            {QStringLiteral("http://c.test/"), QStringLiteral("http://c.test/"), Status::OutOfScope, {}},
            queued(QStringLiteral("http://a.test/c")),
            queued(QStringLiteral("http://a.test/b")),
        };
        QCOMPARE(addressesOf(state.add(links, 1, start)),
                 QStringList({QStringLiteral("http://a.test/b"), QStringLiteral("http://a.test/private"),
                              QStringLiteral("http://c.test/"), QStringLiteral("http://a.test/c")}));
        QVERIFY(state.add(links, 1, start).isEmpty());

        const QList<CrawlState::Entry> first = state.takeQueued(2);
        QCOMPARE(addressesOf(first), QStringList({start, QStringLiteral("http://a.test/b")}));
        QCOMPARE(first[1].status, Status::Loading);
        QCOMPARE(first[1].depth, 1);
        QCOMPARE(first[1].foundOn, start);
        QCOMPARE(state.takenOfHost(QStringLiteral("a.test")), 2);
        QVERIFY(state.finish(first[0].id, Status::Saved, {}, QStringLiteral("a.test/index.txt")));
        QVERIFY(state.finish(first[1].id, Status::Failed, QStringLiteral("HTTP error 404"), {}));
        QVERIFY(!state.finish(first[1].id + 100, Status::Saved, {}, QStringLiteral("x.txt")));
        QVERIFY(state.lastWriteFailed());
        QCOMPARE(state.takenOfHost(QStringLiteral("a.test")), 2);
        QCOMPARE(state.takenOfHost(QStringLiteral("c.test")), 0);
    }
    CrawlState state;
    QString error;
    QVERIFY2(state.open(path, Key, false, &error), qPrintable(error));
    QVERIFY(!state.startedAfresh());
    const auto skipped = state.find(QStringLiteral("http://a.test/private"));
    QVERIFY(skipped);
    QCOMPARE(skipped->listed, QStringLiteral("http://a.test/private#x"));
    QCOMPARE(skipped->status, Status::Skipped);
    QCOMPARE(skipped->reason, QStringLiteral("robots.txt"));
    QCOMPARE(state.find(QStringLiteral("http://a.test/b"))->reason, QStringLiteral("HTTP error 404"));
    QVERIFY(!state.find(QStringLiteral("http://a.test/none")));
    const QList<std::pair<Status, qint64>> counts{{Status::Queued, 1}, {Status::Loading, 0}, {Status::Saved, 1},
                                                  {Status::Failed, 1}, {Status::Skipped, 1}, {Status::OutOfScope, 1}};
    for (const auto &[status, expected] : counts)
        QCOMPARE(state.count(status), expected);
    QCOMPARE(addressesOf(state.takeQueued(5)), QStringList{QStringLiteral("http://a.test/c")});
    QStringList saved;
    const auto visit = [&](const QString &address, const QString &file) { saved << address << file; };
    state.forEachSaved(visit);
    QCOMPARE(saved, QStringList({start, QStringLiteral("a.test/index.txt")}));
}

void TestCrawlState::killedRunResumesWithItsEntriesQueued()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crawl.state"));
    const QStringList addresses = pages(QStringLiteral("a.test"), 4);
    QVERIFY(makeState(path, addresses));
    {
        CrawlState state;
        QString error;
        QVERIFY(state.open(path, Key, false, &error));
        QVERIFY(state.finish(state.takeQueued(1).value(0).id, Status::Saved, {}, QStringLiteral("0.txt")));
    }

    Holder holder;
    QVERIFY2(holder.start(path, 2), qPrintable(holder.errors()));
    CrawlState second;
    QString error;
    QVERIFY(!second.open(path, Key, false, &error));
    QCOMPARE(error, QStringLiteral("%1 is in use by another textorin-batch run").arg(path));
    QVERIFY(!second.open(path, Key, true, &error));
    QCOMPARE(error, QStringLiteral("%1 is in use by another textorin-batch run").arg(path));
    holder.kill();

    QVERIFY2(second.open(path, Key, false, &error), qPrintable(error));
    QVERIFY(!second.startedAfresh());
    QCOMPARE(second.count(Status::Loading), 0);
    QCOMPARE(second.count(Status::Saved), 1);
    QCOMPARE(addressesOf(second.takeQueued(10)), addresses.mid(1));
}

void TestCrawlState::refusesFilesItCannotTake_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("fresh");
    QTest::addColumn<QString>("message"); // empty when taken
    QTest::addColumn<qint64>("kept"); // entries still queued when taken

    const QString damaged = QStringLiteral("%1 is damaged (*) and is left as it is; remove it or give --state FILE");
    const QString other = QStringLiteral("%1 holds another crawl (other start addresses or scope); give --new-state to "
                                         "start it afresh, or --state FILE to keep both");
    QTest::newRow("text file") << "text" << true << QString(damaged).replace(QLatin1Char('*'), "not a crawl state file")
                               << qint64(0);
    QTest::newRow("truncated") << "truncated" << true << damaged << qint64(0);
    QTest::newRow("other tables") << "foreign" << true
                                  << QString(damaged).replace(QLatin1Char('*'), "missing table meta") << qint64(0);
    QTest::newRow("newer") << "newer" << true
                           << "%1 was written by a newer textorin-batch (state version 3) and is left as it is"
                           << qint64(0);
    QTest::newRow("another crawl") << "other key" << false << other << qint64(0);
    QTest::newRow("another crawl afresh") << "other key" << true << QString() << qint64(0);
    QTest::newRow("this crawl afresh") << "same key" << true << QString() << qint64(0);
    QTest::newRow("this crawl") << "same key" << false << QString() << qint64(3);
    QTest::newRow("empty file") << "empty" << false << QString() << qint64(0);
}

void TestCrawlState::refusesFilesItCannotTake()
{
    QFETCH(QString, kind);
    QFETCH(bool, fresh);
    QFETCH(QString, message);
    QFETCH(qint64, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crawl.state"));
    QVERIFY(makeFile(kind, path));
    const QByteArray before = readTestFile(path);
    const QStringList files = filesIn(dir.path());

    CrawlState state;
    QString error;
    const bool opened = state.open(path, Key, fresh, &error);
    if (!message.isEmpty()) {
        QVERIFY(!opened);
        QVERIFY2(matches(error, message, path), qPrintable(error));
        QVERIFY(!state.isOpen());
        QCOMPARE(filesIn(dir.path()), files);
        QVERIFY(readTestFile(path) == before);
        return;
    }
    QVERIFY2(opened, qPrintable(error));
    QCOMPARE(state.startedAfresh(), kept == 0);
    QCOMPARE(state.count(Status::Queued), kept);
    state.close();
    QVERIFY2(state.open(path, Key, false, &error), qPrintable(error)); // the key taken
}

void TestCrawlState::writeFailureLeavesTheFileAsItWas()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crawl.state"));
    CrawlState state;
    QString error;
    QVERIFY(state.open(path, Key, false, &error));
    QCOMPARE(state.add(found(pages(QStringLiteral("a.test"), 3)), 0, {}).size(), 3);

    // The disk is full: no file may grow.
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit full = saved;
    full.rlim_cur = rlim_t(qMax(QFileInfo(path).size(), QFileInfo(path + QStringLiteral("-wal")).size()));
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
    const QList<CrawlState::Found> added = state.add(found(pages(QStringLiteral("b.test"), 50, 2000)), 1, {});
    const bool failed = state.lastWriteFailed();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);

    QVERIFY(added.isEmpty());
    QVERIFY(failed);
    QVERIFY2(state.error().startsWith(QStringLiteral("Cannot write %1 (").arg(path)), qPrintable(state.error()));
    QCOMPARE(state.count(Status::Queued), 3);
    QCOMPARE(state.add(found(pages(QStringLiteral("b.test"), 2)), 1, {}).size(), 2);
    state.close();
    QVERIFY2(state.open(path, Key, false, &error), qPrintable(error));
    QCOMPARE(addressesOf(state.takeQueued(10)),
             pages(QStringLiteral("a.test"), 3) + pages(QStringLiteral("b.test"), 2));
}

// A pass that ended begins the next one: every address is new to it, while the
// record, text and links of its last saved page stay until it is gone.
void TestCrawlState::endedPassIsRunAgainWithItsRecords()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("state.sqlite"));
    const QString a = QStringLiteral("http://a.test/"), b = QStringLiteral("http://a.test/b");
    SavedPage page;
    page.record = {a,
                   QStringLiteral("\"v1\""),
                   QStringLiteral("Wed, 01 Jan 2025 00:00:00 GMT"),
                   QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC),
                   "0a",
                   "1b",
                   "2c"};
    page.text = qCompress("the text");
    page.links = qCompress("{}");
    {
        CrawlState state;
        QVERIFY(state.open(path, Key, false, nullptr));
        state.add({queued(a)}, 0, {});
        state.add({queued(b)}, 1, a);
        const QList<CrawlState::Entry> taken = state.takeQueued(2);
        QVERIFY(state.finish(taken[0].id, Status::Saved, {}, QStringLiteral("a.txt"), &page));
        QVERIFY(state.finish(taken[1].id, Status::Saved, {}, QStringLiteral("b.txt"), &page));
    }
    {
        // Not ended: the same pass goes on.
        CrawlState state;
        QVERIFY(state.open(path, Key, false, nullptr));
        QCOMPARE(state.pass(), 1);
        QVERIFY(state.add({queued(a)}, 0, {}).isEmpty());
        QVERIFY(state.endPass());
    }
    CrawlState state;
    QVERIFY(state.open(path, Key, false, nullptr));
    QCOMPARE(state.pass(), 2);
    QCOMPARE(state.count(Status::Saved), 0);
    QCOMPARE(addressesOf(state.add({queued(a)}, 0, {})), QStringList{a});
    const std::optional<CrawlState::Entry> again = state.find(a);
    QVERIFY(again);
    QCOMPARE(again->status, Status::Queued);
    QCOMPARE(again->pass, 2);
    QCOMPARE(again->file, QStringLiteral("a.txt"));
    QCOMPARE(again->saved.etag, page.record.etag);
    QCOMPARE(again->saved.loadedAt, page.record.loadedAt);
    QCOMPARE(again->saved.textSha256, QByteArray("1b"));
    QVERIFY(again->saved.linksKept);
    QCOMPARE(qUncompress(state.storedText(again->id)), QByteArray("the text"));
    // A failure keeps the record and the file's name; b, linked by no page of this pass, is unlinked.
    QVERIFY(state.finish(state.takeQueued(1).at(0).id, Status::Failed, QStringLiteral("timed out"), {}));
    QCOMPARE(state.find(a)->saved.textSha256, QByteArray("1b"));
    QCOMPARE(state.find(a)->file, QStringLiteral("a.txt"));
    const QList<CrawlState::Entry> unlinked = state.unlinked();
    QCOMPARE(addressesOf(unlinked), QStringList{b});
    QVERIFY(state.markGone(unlinked[0].id, Status::Gone, QStringLiteral("no longer linked")));
    const std::optional<CrawlState::Entry> gone = state.find(b);
    QCOMPARE(gone->status, Status::Gone);
    QVERIFY(gone->saved.isEmpty());
    QVERIFY(state.storedText(gone->id).isEmpty());
    QCOMPARE(gone->file, QStringLiteral("b.txt")); // the name stays taken
}

void TestCrawlState::versionOneFileIsUpgraded_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("pass");
    QTest::newRow("ended") << QStringLiteral("saved") << 2;
    QTest::newRow("stopped") << QStringLiteral("queued") << 1;
}

// A state of the last release: its crawl is the first pass, ended when nothing was left to load.
void TestCrawlState::versionOneFileIsUpgraded()
{
    QFETCH(QString, status);
    QFETCH(int, pass);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("v1.sqlite"));
    const QByteArray sql = "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                           "CREATE TABLE addresses (id INTEGER PRIMARY KEY, address TEXT UNIQUE NOT NULL, listed TEXT,"
                           " host TEXT, depth INTEGER NOT NULL, found_on TEXT, status TEXT NOT NULL, reason TEXT,"
                           " file TEXT, found_at TEXT NOT NULL, updated_at TEXT NOT NULL);"
                           "INSERT INTO meta VALUES ('version', '1'), ('crawl_key', '"
        + Key + "');INSERT INTO addresses VALUES (1, 'http://a.test/', 'http://a.test/', 'a.test', 0, NULL, '"
        + status.toUtf8() + "', NULL, 'a.txt', '2025-01-01T00:00:00Z', '2025-01-01T00:00:00Z');";
    QVERIFY(runSql(path, sql.constData()));
    CrawlState state;
    QString error;
    QVERIFY2(state.open(path, Key, false, &error), qPrintable(error));
    QCOMPARE(state.pass(), pass);
    const std::optional<CrawlState::Entry> entry = state.find(QStringLiteral("http://a.test/"));
    QVERIFY(entry);
    QCOMPARE(entry->pass, 1);
    QCOMPARE(entry->file, QStringLiteral("a.txt"));
    QVERIFY(entry->saved.isEmpty());
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], HoldMode) == 0)
        return holdState(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    QCoreApplication app(argc, argv);
    TestCrawlState test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CrawlState.moc"
