#include "fakes/FakeMessageBoxes.h"
#include "support/ApplicationError.h"
#include "support/ErrorGuard.h"
#include "support/RuntimeError.h"

#include <QtTest>

#include <stdexcept>

namespace {

const QString Name = QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton1_Click ");

[[noreturn]] void fail(const QString &description)
{
    throw RuntimeError(description);
}

} // namespace

class TestErrorGuard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void composesTheExactMessage();
    void emptyDescriptionStartsWithLineEnd();
    void reportsTheFailedLineAndResumesWithTheNextStatement();
    void failedFirstAndLastLines();
    void statementsBetweenNumberedLinesCiteTheLineAbove();
    void failedBlockTestEntersTheBlock();
    void failedOneLineTestGoesOnToTheNextLine();
    void errorInCalledRoutineEndsItAndResumesAfterTheCall();
    void loopReportsOncePerFailingIteration();
    void noExceptionEscapes();
};

void TestErrorGuard::composesTheExactMessage()
{
    const QString text = ComposeApplicationErrorMessage(QStringLiteral("Overflow"), Name, 104);
    QCOMPARE(text,
             QStringLiteral("Overflow\r\nin TextorinApp2021/08/31.Form1.PushButton1_Click at line "
                            "104\r\rPlease email screenshot of this message to ")
                 + SupportEmailAddress());
    QVERIFY(!SupportEmailAddress().isEmpty());
    QVERIFY(SupportEmailAddress().contains(QLatin1Char('@')));
    QVERIFY(ComposeApplicationErrorMessage(QString(), Name, -7).contains(QStringLiteral("at line -7\r\r")));
}

void TestErrorGuard::emptyDescriptionStartsWithLineEnd()
{
    QVERIFY(ComposeApplicationErrorMessage(QString(), Name, 100).startsWith(QStringLiteral("\r\nin ")));
}

void TestErrorGuard::reportsTheFailedLineAndResumesWithTheNextStatement()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    QStringList ran;
    QVERIFY(guard.run(100, [&] { ran << QStringLiteral("100"); }));
    QVERIFY(!guard.run(102, [&] {
        fail(QStringLiteral("Type mismatch"));
        ran << QStringLiteral("never");
    }));
    QVERIFY(guard.run(104, [&] { ran << QStringLiteral("104"); }));

    QCOMPARE(ran, (QStringList{QStringLiteral("100"), QStringLiteral("104")}));
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().caption, QStringLiteral("Application Error"));
    QCOMPARE(boxes.boxes.first().text, ComposeApplicationErrorMessage(QStringLiteral("Type mismatch"), Name, 102));
    QCOMPARE(guard.failureCount(), 1);
}

void TestErrorGuard::failedFirstAndLastLines()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    bool secondRan = false;
    guard.run(100, [] { fail(QStringLiteral("first")); });
    guard.run(102, [&] { secondRan = true; });
    guard.run(104, [] { fail(QStringLiteral("last")); });
    QVERIFY(secondRan);
    QCOMPARE(boxes.warnings().size(), 2);
    QVERIFY(boxes.warnings().at(0).contains(QStringLiteral("at line 100\r")));
    QVERIFY(boxes.warnings().at(1).contains(QStringLiteral("at line 104\r")));
}

void TestErrorGuard::statementsBetweenNumberedLinesCiteTheLineAbove()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    guard.run(128, [] {});
    guard.run([] { fail(QStringLiteral("second statement")); });
    QCOMPARE(guard.currentLine(), 128);
    QVERIFY(boxes.warnings().first().contains(QStringLiteral("at line 128\r")));
}

void TestErrorGuard::failedBlockTestEntersTheBlock()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    QVERIFY(guard.blockIf(104, [] { return false; }) == false);
    QVERIFY(guard.blockIf(104, [] { return true; }));
    QVERIFY(guard.blockIf(104, []() -> bool { fail(QStringLiteral("test failed")); }));
    QCOMPARE(boxes.warnings().size(), 1);
}

void TestErrorGuard::failedOneLineTestGoesOnToTheNextLine()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    QVERIFY(guard.lineIf(102, [] { return true; }));
    QVERIFY(!guard.lineIf(102, []() -> bool { fail(QStringLiteral("test failed")); }));
    QVERIFY(boxes.warnings().first().contains(QStringLiteral("at line 102\r")));
}

void TestErrorGuard::errorInCalledRoutineEndsItAndResumesAfterTheCall()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    QStringList ran;
    auto routine = [&] {
        ran << QStringLiteral("routine start");
        fail(QStringLiteral("inside"));
        ran << QStringLiteral("routine end");
    };
    guard.run(118, routine);
    guard.run(120, [&] { ran << QStringLiteral("after call"); });
    QCOMPARE(ran, (QStringList{QStringLiteral("routine start"), QStringLiteral("after call")}));
    QVERIFY(boxes.warnings().first().contains(QStringLiteral("at line 118\r")));
}

void TestErrorGuard::loopReportsOncePerFailingIteration()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    int afterward = 0;
    for (int i = 0; i < 3; ++i) {
        guard.run(134, [] { fail(QStringLiteral("no body")); });
        guard.run(140, [&] { ++afterward; });
    }
    QCOMPARE(boxes.warnings().size(), 3);
    QCOMPARE(afterward, 3);
}

void TestErrorGuard::noExceptionEscapes()
{
    FakeMessageBoxes boxes;
    ErrorGuard guard(boxes, Name);
    guard.run(100, [] { throw std::runtime_error("standard failure"); });
    guard.run(102, [] { throw 42; });
    QCOMPARE(boxes.warnings().size(), 2);
    QVERIFY(boxes.warnings().at(0).startsWith(QStringLiteral("standard failure\r\n")));
    QVERIFY(!boxes.warnings().at(1).startsWith(QStringLiteral("\r\n")));
}

QTEST_GUILESS_MAIN(TestErrorGuard)
#include "tst_ErrorGuard.moc"
