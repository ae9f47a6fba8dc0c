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
    Fixture() { list.addColumnHeader(QStringLiteral(" Web Site(s)")); }
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
    void deleteKeyRemovesTheSelectedRow();
    void otherKeysAndMissingSelectionRemoveNothing();
    void doubleClickRemovesTheSelectedRow();
    void busyListRefusesRemovalButAcceptsAdding();
};

void TestUrlListCommands::addOneAppendsTheAnswerUnchanged()
{
    Fixture f;
    f.boxes.answers = {QStringLiteral("   "), QStringLiteral(" http://x/ "), QStringLiteral(" http://x/ ")};
    f.commands.addOne();
    f.commands.addOne();
    f.commands.addOne();
    QCOMPARE(f.list.rows(),
             (QStringList{QStringLiteral("   "), QStringLiteral(" http://x/ "), QStringLiteral(" http://x/ ")}));
    QCOMPARE(f.boxes.boxes.first().kind, QStringLiteral("input"));
    QCOMPARE(f.boxes.boxes.first().text, QStringLiteral("Enter URL to add: "));
    QCOMPARE(f.boxes.boxes.first().caption, QStringLiteral("Textorin"));
}

void TestUrlListCommands::addOneWithEmptyAnswerAddsNothing()
{
    Fixture f;
    f.commands.addOne(); // Cancel answers the empty text
    QCOMPARE(f.list.count(), 0);
    QCOMPARE(f.boxes.boxes.size(), 1);
}

void TestUrlListCommands::addOneReportsAFailedPromptAndStops()
{
    UrlListModel list;
    FailingInputBoxes boxes;
    UrlListCommands commands(list, boxes, [] { return false; });
    commands.addOne();
    QCOMPARE(list.count(), 0);
    QCOMPARE(boxes.warnings().size(), 1);
    QVERIFY(boxes.warnings().first().startsWith(
        QStringLiteral("No dialog\r\nin TextorinApp2021/08/31.Form1.PushButton1_Click at line 100\r\r")));
}

void TestUrlListCommands::samplesAppendTwoAddressesEachTime()
{
    Fixture f;
    f.commands.addSamples();
    f.commands.addSamples();
    QCOMPARE(f.list.rows(),
             (QStringList{SampleSites::First, SampleSites::Second, SampleSites::First, SampleSites::Second}));
    const QRegularExpression shape(QStringLiteral("^http://www\\.[a-z]+\\.com/$"));
    QVERIFY(shape.match(SampleSites::First).hasMatch());
    QVERIFY(shape.match(SampleSites::Second).hasMatch());
    QVERIFY(f.boxes.boxes.isEmpty());
}

void TestUrlListCommands::clearEmptiesUnlessBusy()
{
    Fixture f;
    f.commands.clear();
    QVERIFY(f.boxes.boxes.isEmpty());
    f.fill(3);
    f.busy = true;
    f.commands.clear();
    QCOMPARE(f.list.count(), 3);
    f.busy = false;
    f.commands.clear();
    QCOMPARE(f.list.count(), 0);
}

void TestUrlListCommands::deleteKeyRemovesTheSelectedRow()
{
    Fixture f;
    f.fill(5);
    for (int pass = 0; pass < 4; ++pass) {
        f.list.select(1);
        f.commands.keyPressed(UrlListCommands::KeyDelete);
    }
    QCOMPARE(f.list.rows(), (QStringList{QStringLiteral("5")}));
}

void TestUrlListCommands::otherKeysAndMissingSelectionRemoveNothing()
{
    Fixture f;
    f.commands.keyPressed(UrlListCommands::KeyDelete); // empty list
    f.fill(2);
    f.commands.keyPressed(UrlListCommands::KeyDelete); // nothing selected
    f.list.select(2);
    f.commands.keyPressed(8); // Backspace
    f.commands.keyPressed('D');
    QCOMPARE(f.list.count(), 2);
}

void TestUrlListCommands::doubleClickRemovesTheSelectedRow()
{
    Fixture f;
    f.fill(5);
    f.list.select(2);
    f.commands.removeSelected();
    QCOMPARE(f.list.rows(),
             (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}));
    f.list.select(0);
    f.commands.removeSelected();
    QCOMPARE(f.list.count(), 4);
}

void TestUrlListCommands::busyListRefusesRemovalButAcceptsAdding()
{
    Fixture f;
    f.fill(3);
    f.busy = true;
    f.list.select(1);
    f.commands.keyPressed(UrlListCommands::KeyDelete);
    f.commands.removeSelected();
    f.commands.clear();
    f.boxes.answers = {QStringLiteral("http://added/")};
    f.commands.addOne();
    f.commands.addSamples();
    QCOMPARE(f.list.count(), 6);
    QCOMPARE(f.list.text(4), QStringLiteral("http://added/"));
}

QTEST_GUILESS_MAIN(TestUrlListCommands)
#include "tst_UrlListCommands.moc"
