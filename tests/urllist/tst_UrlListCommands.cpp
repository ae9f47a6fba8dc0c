#include "fakes/FakeMessageBoxes.h"
#include "support/RuntimeError.h"
#include "urllist/SampleSites.h"
#include "urllist/UrlListCommands.h"
#include "urllist/UrlListModel.h"

#include <QtTest>

namespace {

// Message boxes whose input box fails, as a broken platform dialog would.
class FailingInputBoxes : public FakeMessageBoxes
{
public:
    QString inputBox(const QString &) override { throw RuntimeError(QStringLiteral("No dialog")); }
};

struct Fixture {
    Fixture()
    {
        list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    }
    void fill(int rows)
    {
        for (int i = 1; i <= rows; ++i)
            list.append(QString::number(i));
    }

    UrlListModel list;
    FakeMessageBoxes boxes;
    bool busy = false;
    UrlListCommands commands{list, boxes, [this] { return busy; }};
};

} // namespace

class TestUrlListCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addOneAppendsTheAnswerUnchanged();
    void addOneWithEmptyAnswerAddsNothing();
    void addOneReportsAFailedPromptAndStops();
    void samplesAppendTwoAddressesEachTime();
    void clearEmptiesUnlessBusy();
    void deleteKeyRemovesTheSelectedRowWhateverTheModifiers();
    void otherKeysAndMissingSelectionRemoveNothing();
    void doubleClickRemovesTheSelectedRow();
    void busyListRefusesRemovalButAcceptsAdding();
};

void TestUrlListCommands::addOneAppendsTheAnswerUnchanged()
{
    Fixture f;
    f.boxes.answers = {QStringLiteral("   "), QStringLiteral(" http://x/ "), QStringLiteral(" http://x/ ")};
    f.commands.PushButton1_Click();
    f.commands.PushButton1_Click();
    f.commands.PushButton1_Click();
    QCOMPARE(f.list.rows(), (QStringList{QStringLiteral("   "), QStringLiteral(" http://x/ "),
                                         QStringLiteral(" http://x/ ")}));
    QCOMPARE(f.boxes.boxes.first().kind, QStringLiteral("input"));
    QCOMPARE(f.boxes.boxes.first().text, QStringLiteral("Enter URL to add: "));
    QCOMPARE(f.boxes.boxes.first().caption, QStringLiteral("Textorin"));
}

void TestUrlListCommands::addOneWithEmptyAnswerAddsNothing()
{
    Fixture f;
    f.commands.PushButton1_Click(); // Cancel answers the empty text
    QCOMPARE(f.list.count(), 0);
    QCOMPARE(f.boxes.boxes.size(), 1);
}

void TestUrlListCommands::addOneReportsAFailedPromptAndStops()
{
    UrlListModel list;
    FailingInputBoxes boxes;
    UrlListCommands commands(list, boxes, [] { return false; });
    commands.PushButton1_Click();
    QCOMPARE(list.count(), 0);
    QCOMPARE(boxes.warnings().size(), 1);
    QVERIFY(boxes.warnings().first().startsWith(
        QStringLiteral("No dialog\r\nin TextorinApp2021/08/31.Form1.PushButton1_Click at line 100\r\r")));
}

void TestUrlListCommands::samplesAppendTwoAddressesEachTime()
{
    Fixture f;
    f.commands.PushButton4_Click();
    f.commands.PushButton4_Click();
    QCOMPARE(f.list.rows(), (QStringList{SampleSites::First, SampleSites::Second,
                                         SampleSites::First, SampleSites::Second}));
    const QRegularExpression shape(QStringLiteral("^http://www\\.[a-z]+\\.com/$"));
    QVERIFY(shape.match(SampleSites::First).hasMatch());
    QVERIFY(shape.match(SampleSites::Second).hasMatch());
    QVERIFY(f.boxes.boxes.isEmpty());
}

void TestUrlListCommands::clearEmptiesUnlessBusy()
{
    Fixture f;
    f.commands.PushButton7_Click();
    QVERIFY(f.boxes.boxes.isEmpty());
    f.fill(3);
    f.busy = true;
    f.commands.PushButton7_Click();
    QCOMPARE(f.list.count(), 3);
    f.busy = false;
    f.commands.PushButton7_Click();
    QCOMPARE(f.list.count(), 0);
}

void TestUrlListCommands::deleteKeyRemovesTheSelectedRowWhateverTheModifiers()
{
    Fixture f;
    f.fill(5);
    for (int shift : {0, 1, 2, 4}) {
        f.list.select(1);
        f.commands.ListView1_KeyDown(UrlListCommands::KeyDelete, shift);
    }
    QCOMPARE(f.list.rows(), (QStringList{QStringLiteral("5")}));
}

void TestUrlListCommands::otherKeysAndMissingSelectionRemoveNothing()
{
    Fixture f;
    f.commands.ListView1_KeyDown(UrlListCommands::KeyDelete, 0); // empty list
    f.fill(2);
    f.commands.ListView1_KeyDown(UrlListCommands::KeyDelete, 0); // nothing selected
    f.list.select(2);
    f.commands.ListView1_KeyDown(8, 0); // Backspace
    f.commands.ListView1_KeyDown('D', 0);
    QCOMPARE(f.list.count(), 2);
}

void TestUrlListCommands::doubleClickRemovesTheSelectedRow()
{
    Fixture f;
    f.fill(5);
    f.list.select(2);
    f.commands.ListView1_DblClick();
    QCOMPARE(f.list.rows(), (QStringList{QStringLiteral("1"), QStringLiteral("3"),
                                         QStringLiteral("4"), QStringLiteral("5")}));
    f.list.select(0);
    f.commands.ListView1_DblClick();
    QCOMPARE(f.list.count(), 4);
}

void TestUrlListCommands::busyListRefusesRemovalButAcceptsAdding()
{
    Fixture f;
    f.fill(3);
    f.busy = true;
    f.list.select(1);
    f.commands.ListView1_KeyDown(UrlListCommands::KeyDelete, 0);
    f.commands.ListView1_DblClick();
    f.commands.PushButton7_Click();
    f.boxes.answers = {QStringLiteral("http://added/")};
    f.commands.PushButton1_Click();
    f.commands.PushButton4_Click();
    QCOMPARE(f.list.count(), 6);
    QCOMPARE(f.list.text(4), QStringLiteral("http://added/"));
}

QTEST_GUILESS_MAIN(TestUrlListCommands)
#include "tst_UrlListCommands.moc"
