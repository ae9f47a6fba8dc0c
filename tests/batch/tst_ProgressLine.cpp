#include "batch/ProgressLine.h"

#include <QtTest>

class TestProgressLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsCountsPaceAndTimes();
    void fitsTheTerminalAndShowsNoControlCharacters();
};

void TestProgressLine::showsCountsPaceAndTimes()
{
    ProgressLine::State state;
    state.done = 10;
    state.total = 40;
    state.saved = 9;
    state.failed = 1;
    state.loading = {QStringLiteral("http://h/a")};
    QCOMPARE(ProgressLine::text(state, 30'000, 100),
             QStringLiteral("10 of 40 done: saved 9, failed 1 | 20 pages/min | 0:30 elapsed, ETA 1:30 | http://h/a"));
    // Without a total there is no time left to tell.
    state.total = -1;
    QCOMPARE(ProgressLine::text(state, 3'723'000, 100),
             QStringLiteral("10 done: saved 9, failed 1 | 0.2 pages/min | 1:02:03 elapsed | http://h/a"));
    // Before the first row ends there is no pace either.
    ProgressLine::State first;
    first.total = 5;
    first.loading = {QStringLiteral("http://h/a")};
    QCOMPARE(ProgressLine::text(first, 400, 100),
             QStringLiteral("0 of 5 done: saved 0, failed 0 | 0:00 elapsed | http://h/a"));
    // A sitemap being read goes before the pages, its middle cut to keep its counts.
    first.reading = QStringLiteral("reading sitemap http://h/") + QString(80, QLatin1Char('x'))
        + QStringLiteral(" (3 files, 1200 rows so far)");
    QCOMPARE(ProgressLine::text(first, 400, 107),
             QStringLiteral("0 of 5 done: saved 0, failed 0 | 0:00 elapsed | reading sitemap http://h/xxxx… (3 files, "
                            "1200 rows so far)"));
}

void TestProgressLine::fitsTheTerminalAndShowsNoControlCharacters()
{
    ProgressLine::State state;
    state.done = 1;
    state.total = 2;
    state.saved = 1;
    state.loading = {QStringLiteral("http://h/") + QString(200, QLatin1Char('x')) + QStringLiteral("/end")};
    const QString line = ProgressLine::text(state, 60'000, 120);
    QCOMPARE(line.size(), 119);
    QVERIFY2(line.contains(QStringLiteral("ETA 1:00 | http://h/xx")), qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral("x…x")) && line.endsWith(QStringLiteral("x/end")), qPrintable(line));

    // A terminal too narrow for the counts cuts them rather than wrap.
    const QString narrow = ProgressLine::text(state, 60'000, 20);
    QCOMPARE(narrow, QStringLiteral("1 of 2 done: saved…"));

    // Rows of a list may hold anything; escape sequences never reach the terminal.
    state.loading = {QStringLiteral("http://me:pw@h/\033[2J\a")};
    state.reading = QStringLiteral("reading sitemap http://h/\r");
    const QString escaped = ProgressLine::text(state, 60'000, 130);
    QVERIFY2(escaped.endsWith(QStringLiteral("| reading sitemap http://h/\\r | http://h/\\x1b[2J\\x07")),
             qPrintable(escaped));
}

QTEST_GUILESS_MAIN(TestProgressLine)
#include "tst_ProgressLine.moc"
