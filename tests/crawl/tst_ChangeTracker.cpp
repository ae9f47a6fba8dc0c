#include "capture/RowResult.h"
#include "crawl/ChangeTracker.h"
#include "crawl/CrawlState.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(RowChange::Kind)

namespace {

const QString Earlier = QStringLiteral("Price: $19\nIn stock.\n");

PageOutcome loaded(const QString &text, int status = 200)
{
    PageOutcome outcome;
    outcome.content = text;
    outcome.httpStatus = status;
    outcome.finalUrl = QStringLiteral("http://a.test/");
    outcome.etag = QStringLiteral("\"v2\"");
    return outcome;
}

} // namespace

// How a row's new text is told from the text its address had at its last save.
class TestChangeTracker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void tellsTheChange_data();
    void tellsTheChange();
    void keepsOnlyAFileThatHoldsWhatWasWritten();
    void recordsWhatTheNextRunComparesWith();

private:
    // The entry of a.test saved with `text`, its file written as recorded.
    PageRecord save(const QString &text);

    QTemporaryDir m_folder;
    CrawlState m_state;
    qint64 m_id = 0;
    QString m_file;
};

void TestChangeTracker::init()
{
    QVERIFY(m_state.open(m_folder.filePath(QStringLiteral("state.sqlite")), "key", true, nullptr));
    m_state.add({{QStringLiteral("http://a.test/"), QStringLiteral("http://a.test/"), CrawlState::Status::Queued, {}}},
                0, {});
    m_id = m_state.takeQueued(1).at(0).id;
    m_file = m_folder.filePath(QStringLiteral("a.txt"));
}

PageRecord TestChangeTracker::save(const QString &text)
{
    QFile file(m_file);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) != text.toUtf8().size())
        return {};
    file.close();
    SavedPage page;
    page.record = {QStringLiteral("http://a.test/"),
                   QStringLiteral("\"v1\""),
                   {},
                   QDateTime::currentDateTimeUtc(),
                   ChangeTracker::sha256(text),
                   ChangeTracker::sha256(text),
                   ChangeTracker::sha256(ChangeTracker::collapsed(text))};
    page.text = qCompress(text.toUtf8());
    m_state.finish(m_id, CrawlState::Status::Saved, {}, QStringLiteral("a.txt"), &page);
    return page.record;
}

void TestChangeTracker::tellsTheChange_data()
{
    QTest::addColumn<bool>("before"); // saved by an earlier run
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("ignoreWhitespace");
    QTest::addColumn<RowChange::Kind>("kind");
    using Kind = RowChange::Kind;
    QTest::newRow("first save") << false << Earlier << 200 << false << Kind::New;
    QTest::newRow("same text") << true << Earlier << 200 << false << Kind::Same;
    // The characters of both texts are the same, not the text.
    QTest::newRow("two characters swapped")
        << true << QStringLiteral("Price: $91\nIn stock.\n") << 200 << false << Kind::Changed;
    QTest::newRow("re-wrapped") << true << QStringLiteral("Price:  $19 In\n stock.") << 200 << false << Kind::Changed;
    QTest::newRow("re-wrapped, whitespace ignored")
        << true << QStringLiteral("Price:  $19 In\n stock.") << 200 << true << Kind::Same;
    QTest::newRow("404 after a save") << true << QString() << 404 << false << Kind::Gone;
    QTest::newRow("410 after a save") << true << QString() << 410 << false << Kind::Gone;
    QTest::newRow("404, never saved") << false << QString() << 404 << false << Kind::Untracked;
    QTest::newRow("timed out after a save") << true << QString() << 0 << false << Kind::Untracked;
}

void TestChangeTracker::tellsTheChange()
{
    QFETCH(bool, before);
    QFETCH(QString, text);
    QFETCH(int, status);
    QFETCH(bool, ignoreWhitespace);
    QFETCH(RowChange::Kind, kind);
    const PageRecord previous = before ? save(Earlier) : PageRecord();
    ChangeTracker::Settings settings;
    settings.ignoreWhitespace = ignoreWhitespace;
    settings.diff = true;
    ChangeTracker tracker(m_state, settings);
    PageOutcome outcome = loaded(text, status);
    if (status != 200)
        outcome.failure = QStringLiteral("failed");
    const RowChange change = tracker.changeOf(m_id, previous, outcome, m_file);
    QCOMPARE(change.kind, kind);
    QCOMPARE(change.keepFile, false);
    if (kind == RowChange::Kind::Changed) {
        QVERIFY(change.diff.startsWith(QStringLiteral("--- a.txt\t")));
        QVERIFY(change.diff.contains(QStringLiteral("-Price: $19\n")));
    } else {
        QVERIFY(change.diff.isEmpty());
    }
}

// --changed-only leaves a same page's file alone only while it holds the bytes recorded.
void TestChangeTracker::keepsOnlyAFileThatHoldsWhatWasWritten()
{
    ChangeTracker::Settings settings;
    settings.changedOnly = true;
    ChangeTracker tracker(m_state, settings);
    const PageRecord previous = save(Earlier);
    QVERIFY(ChangeTracker::fileMatches(m_file, previous));
    QVERIFY(tracker.changeOf(m_id, previous, loaded(Earlier), m_file).keepFile);
    // A run killed after writing the new text and before recording it.
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Price: $91\n") > 0);
    file.close();
    QVERIFY(!ChangeTracker::fileMatches(m_file, previous));
    const RowChange change = tracker.changeOf(m_id, previous, loaded(Earlier), m_file);
    QCOMPARE(change.kind, RowChange::Kind::Same);
    QVERIFY(!change.keepFile);
    QVERIFY(QFile::remove(m_file));
    QVERIFY(!ChangeTracker::fileMatches(m_file, previous));
    QVERIFY(!tracker.changeOf(m_id, previous, loaded(Earlier), m_file).keepFile);
    // Standard output has no file to check.
    QVERIFY(tracker.changeOf(m_id, previous, loaded(Earlier), {}).keepFile);
}

void TestChangeTracker::recordsWhatTheNextRunComparesWith()
{
    ChangeTracker::Settings settings;
    settings.keepLinks = true;
    ChangeTracker tracker(m_state, settings);
    const PageRecord previous = save(Earlier);
    const QString now = QStringLiteral("Price: $91\n");
    RowResult result;
    result.outcome = RowResult::Outcome::Saved;
    result.page = loaded(now);
    result.page.links.follow = QStringList{QStringLiteral("http://a.test/next")};
    result.change = tracker.changeOf(m_id, previous, result.page, m_file);
    result.writtenSha256 = "ff";
    SavedPage saved = tracker.savedPageOf(previous, result);
    QCOMPARE(saved.record.etag, QStringLiteral("\"v2\""));
    QCOMPARE(saved.record.outputSha256, QByteArray("ff"));
    QCOMPARE(saved.record.textSha256, ChangeTracker::sha256(now));
    QCOMPARE(qUncompress(*saved.text), now.toUtf8());
    QVERIFY(qUncompress(*saved.links).contains("http://a.test/next"));
    QVERIFY(saved.record.loadedAt > previous.loadedAt.addSecs(-1));

    // A 304 keeps the text, its hashes and links; a validator it resends replaces the old one.
    RowResult same;
    same.outcome = RowResult::Outcome::Saved;
    same.page.notModified = true;
    same.page.lastModified = QStringLiteral("Thu, 02 Jan 2025 00:00:00 GMT");
    same.change = tracker.changeOf(m_id, previous, same.page, m_file);
    QCOMPARE(same.change.kind, RowChange::Kind::Same);
    QVERIFY(same.change.keepFile);
    saved = tracker.savedPageOf(previous, same);
    QCOMPARE(saved.record.etag, previous.etag);
    QCOMPARE(saved.record.lastModified, same.page.lastModified);
    QCOMPARE(saved.record.textSha256, previous.textSha256);
    QVERIFY(!saved.text && !saved.links);
}

QTEST_GUILESS_MAIN(TestChangeTracker)
#include "tst_ChangeTracker.moc"
