#include "fakes/TestFiles.h"
#include "support/UnifiedDiff.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestUnifiedDiff : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesWhatDiffWrites_data();
    void writesWhatDiffWrites();
};

namespace {

const QString From = QStringLiteral("old/page.txt");
const QString To = QStringLiteral("new/page.txt");

// What `diff -u` writes for the two texts.
QString gnuDiff(const QString &before, const QString &after)
{
    QTemporaryDir dir;
    const QString beforeFile = dir.filePath(QStringLiteral("before"));
    const QString afterFile = dir.filePath(QStringLiteral("after"));
    if (!writeTestFile(beforeFile, before.toUtf8()) || !writeTestFile(afterFile, after.toUtf8()))
        return QStringLiteral("<not written>");
    QProcess diff;
    diff.start(
        QStringLiteral("diff"),
        {QStringLiteral("-u"), QStringLiteral("--label"), From, QStringLiteral("--label"), To, beforeFile, afterFile});
    if (!diff.waitForFinished(60'000) || diff.exitStatus() != QProcess::NormalExit || diff.exitCode() > 1)
        return QStringLiteral("<diff failed>");
    return QString::fromUtf8(diff.readAllStandardOutput());
}

// Numbered lines, `count` of them, each ending in a newline.
QString numbered(int count, const QString &word = QStringLiteral("line"))
{
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("%1 %2\n").arg(word).arg(i);
    return text;
}

QString replaced(QString text, const QString &line, const QString &by)
{
    return text.replace(line + QLatin1Char('\n'), by);
}

// A long page with a change every tenth line, and some lines added and removed.
std::pair<QString, QString> longPage()
{
    QString before;
    QString after;
    for (int i = 0; i < 20'000; ++i) {
        const QString line = QStringLiteral("paragraph %1\n").arg(i);
        before += line;
        if (i % 10 == 0)
            after += QStringLiteral("paragraph %1, edited\n").arg(i);
        else if (i % 97 == 1)
            after += line + QStringLiteral("\nan added line\n\n");
        else if (i % 89 != 5)
            after += line;
        if (i % 7 == 0) {
            before += QLatin1Char('\n');
            after += QLatin1Char('\n');
        }
    }
    return {before, after};
}

} // namespace

void TestUnifiedDiff::writesWhatDiffWrites_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const QString page = numbered(20);
    const QString text = QStringLiteral("A first paragraph.\n\nA second paragraph,\nin two lines.\n\nThe end.\n");

    QTest::newRow("two characters swapped") << page << replaced(page, QStringLiteral("line 9"), "lien 9\n");
    QTest::newRow("paragraph added") << text
                                     << replaced(text, QStringLiteral("in two lines."),
                                                 "in two lines.\n\nA new paragraph\nbetween the others.\n");
    QTest::newRow("first line removed") << page << page.mid(page.indexOf(QLatin1Char('\n')) + 1);
    QTest::newRow("last line removed") << page << replaced(page, QStringLiteral("line 20"), {});
    QTest::newRow("first and last lines removed")
        << page << replaced(replaced(page, QStringLiteral("line 1"), {}), QStringLiteral("line 20"), {});
    // Of the blank lines, diff takes out the last one.
    QTest::newRow("line added, one of repeated lines removed")
        << QStringLiteral("Intro\n\n* * *\n\n\n\n* * *\n\nEnd\n")
        << QStringLiteral("Intro\n\nA new line.\n* * *\n\n\n* * *\n\nEnd\n");
    QTest::newRow("whitespace only") << page << replaced(page, QStringLiteral("line 4"), "line  4 \n");
    QTest::newRow("changes 6 lines apart share a hunk")
        << page << replaced(replaced(page, QStringLiteral("line 5"), "5\n"), QStringLiteral("line 12"), "12\n");
    QTest::newRow("changes 7 lines apart do not")
        << page << replaced(replaced(page, QStringLiteral("line 5"), "5\n"), QStringLiteral("line 13"), "13\n");
    QTest::newRow("no final newline before") << page.chopped(1) << page;
    QTest::newRow("no final newline after") << page << page.chopped(1);
    QTest::newRow("no final newline on both sides")
        << page.chopped(1) << replaced(page, QStringLiteral("line 17"), "17\n").chopped(1);
    QTest::newRow("no final newline, last line changed") << page.chopped(1) << page.chopped(2);
    QTest::newRow("empty before") << QString() << text;
    QTest::newRow("empty after") << text << QString();
    QTest::newRow("one line each") << QStringLiteral("a") << QStringLiteral("b\n");
    QTest::newRow("identical") << text << text;
    QTest::newRow("non-ASCII") << QStringLiteral("Grüße aus Köln\n日本語のテキスト\n😀 emoji\nEnde\n")
                               << QStringLiteral("Grüsse aus Köln\n日本語のテキスト\n😀 emoji 😀\nEnde\n");
    QTest::newRow("all lines replaced") << numbered(30) << numbered(25, QStringLiteral("row"));
    const auto [longBefore, longAfter] = longPage();
    QTest::newRow("long page, many changes") << longBefore << longAfter;
}

void TestUnifiedDiff::writesWhatDiffWrites()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    const QString expected = gnuDiff(before, after);
    QCOMPARE(UnifiedDiff::of(before, after, From, To), expected);
    QCOMPARE(expected.isEmpty(), before == after);
}

QTEST_GUILESS_MAIN(TestUnifiedDiff)
#include "tst_UnifiedDiff.moc"
