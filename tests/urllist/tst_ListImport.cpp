#include "fakes/CountingEventPump.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeOpenFileDialog.h"
#include "fakes/TestFiles.h"
#include "urllist/ListImport.h"
#include "urllist/UrlListModel.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    QString file(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("list%1.txt").arg(++files));
        writeTestFile(path, bytes);
        return path;
    }
    void importFile(const QString &path)
    {
        dialog.answer = path;
        command.chooseAndImport();
    }

    QTemporaryDir dir;
    int files = 0;
    UrlListModel list;
    FakeMessageBoxes boxes;
    FakeOpenFileDialog dialog;
    CountingEventPump pump;
    ListImport command{list, boxes, dialog, &pump};
};

} // namespace

class TestListImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setsTheDialogUpAfreshEachTime();
    void appendsEveryLineAfterTheRowsPresent();
    void cancelAddsNothingAndSaysNothing();
    void missingFileSaysFileNotFound();
    void severalNamesAreRefused();
    void unreadableFileIsReportedAtTheImportLine();
    void largeFileImportsEveryLineAndServesEvents();
    void listCommandsMayRunDuringAnImport();
};

void TestListImport::setsTheDialogUpAfreshEachTime()
{
    Fixture f;
    f.command.chooseAndImport();
    QCOMPARE(f.dialog.shown, 1);
    QCOMPARE(f.dialog.shownWith.fileName, QString());
    QCOMPARE(f.dialog.shownWith.flags, 0x280001u);
    QCOMPARE(f.dialog.shownWith.title, QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"));
    QCOMPARE(f.dialog.shownWith.filter, QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*"));
}

void TestListImport::appendsEveryLineAfterTheRowsPresent()
{
    Fixture f;
    f.list.append(QStringLiteral("existing"));
    const QString path = f.file("  http://a/  \r\n\r\nb");
    f.importFile(path);
    f.importFile(path);
    QCOMPARE(f.list.rows(), (QStringList{"existing", "  http://a/  ", "", "b", "  http://a/  ", "", "b"}));
    QVERIFY(f.boxes.boxes.isEmpty());
    f.importFile(f.file(QByteArray()));
    QCOMPARE(f.list.count(), 7);
}

void TestListImport::cancelAddsNothingAndSaysNothing()
{
    Fixture f;
    f.importFile(QString());
    QCOMPARE(f.list.count(), 0);
    QVERIFY(f.boxes.boxes.isEmpty());
}

void TestListImport::missingFileSaysFileNotFound()
{
    Fixture f;
    f.importFile(f.dir.filePath(QStringLiteral("typed-but-missing.txt")));
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("File not found")});
    QCOMPARE(f.boxes.boxes.first().caption, QStringLiteral("Textorin"));
    QCOMPARE(f.list.count(), 0);
}

void TestListImport::severalNamesAreRefused()
{
    Fixture f;
    const QString a = f.file("a");
    const QString b = f.file("b");
    f.importFile(a + QChar(0) + b);
    QCOMPARE(f.boxes.informations(), QStringList{QStringLiteral("Please select just one file.")});
    QCOMPARE(f.list.count(), 0);
}

void TestListImport::unreadableFileIsReportedAtTheImportLine()
{
    Fixture f;
    f.list.append(QStringLiteral("kept"));
    f.importFile(f.dir.path()); // exists, but a folder cannot be read as a file
    QCOMPARE(f.boxes.warnings().size(), 1);
    QVERIFY(f.boxes.warnings().first().contains(
        QStringLiteral("\r\nin TextorinApp2021/08/31.Form1.PushButton6_Click at line 118\r")));
    QCOMPARE(f.list.rows(), QStringList{QStringLiteral("kept")});
}

void TestListImport::largeFileImportsEveryLineAndServesEvents()
{
    Fixture f;
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += "http://host.example/page/" + QByteArray::number(i) + "\r\n";
    f.importFile(f.file(bytes));
    QCOMPARE(f.list.count(), 100000);
    QCOMPARE(f.list.text(100000), QStringLiteral("http://host.example/page/99999"));
    QCOMPARE(f.pump.pending, 100000); // once before every line
}

void TestListImport::listCommandsMayRunDuringAnImport()
{
    Fixture f;
    f.list.append(QStringLiteral("before"));
    int pass = 0;
    f.pump.onPass = [&] {
        ++pass;
        if (pass == 3)
            f.list.clear();
        if (pass == 4)
            f.list.append(QStringLiteral("typed"));
    };
    f.importFile(f.file("1\n2\n3\n4\n5"));
    QCOMPARE(f.list.rows(), (QStringList{"2", "typed", "3", "4", "5"}));
}

QTEST_GUILESS_MAIN(TestListImport)
#include "tst_ListImport.moc"
