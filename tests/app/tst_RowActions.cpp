#include "app/RowActions.h"
#include "fakes/FakeFormView.h"
#include "fakes/StandInServices.h"
#include "fakes/TestFiles.h"
#include "urllist/UrlListModel.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using Entry = RowActions::Entry;
using State = UrlListModel::RowState;

// Rows: 1 saved (its file on disk), 2 failed, 3 skipped, 4 not run.
struct Fixture {
    Fixture()
    {
        view.folder = folder.path() + QLatin1Char('/');
        savedFile = folder.filePath(QStringLiteral("a_.txt"));
        writeTestFile(savedFile, "a");
        list.addColumnHeader(QStringLiteral(" Web Site(s)"));
        list.appendRows({QStringLiteral("http://a/"), QStringLiteral("http://b/\u202e"), QStringLiteral(" "),
                         QStringLiteral("http://d/")});
        list.setRowState(1, State::Saved, QStringLiteral("Saved as ") + savedFile, savedFile);
        list.setRowState(2, State::Failed, QStringLiteral("HTTP error 404 Not Found"));
        list.setRowState(3, State::Skipped, QStringLiteral("blank row"));
        services.openWithDesktop = [this](const QString &path) {
            opened << path;
            return openSucceeds;
        };
        services.copyToClipboard = [this](const QString &text) { copied << text; };
        services.chooseSaveFile = [this](const QString &caption, const QString &start) {
            asked << caption + QLatin1Char('|') + start;
            return saveAs;
        };
        const auto isRunning = [this] { return running; };
        actions = std::make_unique<RowActions>(list, view, services, isRunning, [this] { return results; });
    }

    QTemporaryDir folder;
    QString savedFile;
    FakeFormView view;
    UrlListModel list;
    StandInServices standIns;
    FormServices services = standIns.services();
    std::unique_ptr<RowActions> actions;
    bool running = false;
    bool openSucceeds = true;
    QList<RowResult> results;
    QString saveAs;
    QStringList opened;
    QStringList copied;
    QStringList asked;
};

} // namespace

class TestRowActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entriesApplyToTheSelectedRow_data();
    void entriesApplyToTheSelectedRow();
    void rowEntriesActOnTheSelectedRow();
    void reportHoldsTheRunsRecords();
    void removeDoneKeepsFailedAndUnrunRows();
};

void TestRowActions::entriesApplyToTheSelectedRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("running");
    // Open File, Open Folder, Copy Address, Show Reason, Retry This Row, Retry Failed, Save Report, Remove Done
    QTest::addColumn<QString>("applies");

    QTest::newRow("saved row") << 1 << false << "11111111";
    QTest::newRow("failed row: no file") << 2 << false << "00111111";
    QTest::newRow("row not run") << 4 << false << "00101111";
    QTest::newRow("no row") << 0 << false << "00000111";
    QTest::newRow("during a run nothing is retried or removed") << 1 << true << "11110000";
}

void TestRowActions::entriesApplyToTheSelectedRow()
{
    QFETCH(int, row);
    QFETCH(bool, running);
    QFETCH(QString, applies);
    Fixture f;
    f.list.select(row);
    f.running = running;
    QString got;
    for (const Entry entry : {Entry::OpenFile, Entry::OpenFolder, Entry::CopyAddress, Entry::ShowReason,
                              Entry::RetryRow, Entry::RetryFailed, Entry::SaveReport, Entry::RemoveDone})
        got += f.actions->applies(entry) ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(got, applies);
    QCOMPARE(f.actions->selectedRows(), row > 0 ? QList<int>{row} : QList<int>{});
}

void TestRowActions::rowEntriesActOnTheSelectedRow()
{
    Fixture f;
    f.list.select(1);
    f.actions->openFile();
    f.actions->openFolder();
    QCOMPARE(f.opened, (QStringList{f.savedFile, f.folder.path()}));
    f.list.select(2);
    f.actions->copyAddress();
    f.actions->showReason();
    // The address as stored, whatever the list shows of it.
    QCOMPARE(f.copied, QStringList{QStringLiteral("http://b/\u202e")});
    QCOMPARE(f.standIns.boxes.informations(), QStringList{QStringLiteral("HTTP error 404 Not Found")});

    // A file the desktop cannot open is reported under its menu entry.
    f.list.select(1);
    f.openSucceeds = false;
    f.actions->openFile();
    QCOMPARE(f.standIns.boxes.warnings().size(), 1);
    QVERIFY(f.standIns.boxes.warnings().first().contains(QStringLiteral("Form1.mnuOpenFile_Click at line 100")));
}

void TestRowActions::reportHoldsTheRunsRecords()
{
    Fixture f;
    RowResult saved;
    saved.row = 1;
    saved.url = QStringLiteral("http://a/");
    saved.outcome = RowResult::Outcome::Saved;
    saved.outputPath = f.folder.path() + QStringLiteral("//a_.txt");
    RowResult failed;
    failed.row = 2;
    failed.url = QStringLiteral("http://b/");
    failed.reason = QStringLiteral("HTTP error 404 Not Found");
    f.results = {saved, failed};

    f.actions->saveReport(); // cancelled
    const QString start = f.folder.filePath(RowActions::reportFileName());
    QCOMPARE(f.asked, QStringList{QStringLiteral("Save Report|") + start});
    QVERIFY(!QFile::exists(start));

    f.saveAs = f.folder.filePath(QStringLiteral("out.jsonl"));
    f.actions->saveReport();
    const QList<QByteArray> lines = readTestFile(f.saveAs).split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).contains(R"("file":"a_.txt")"));
    QVERIFY(lines.at(0).contains(R"("outcome":"saved")"));
    QVERIFY(lines.at(0).contains(R"("bytes":1)"));
    QVERIFY(lines.at(1).contains(R"("reason":"HTTP error 404 Not Found")"));
    QVERIFY(lines.at(1).contains(R"("row":2)"));
    QVERIFY(f.standIns.boxes.boxes.isEmpty());

    f.saveAs = f.folder.filePath(QStringLiteral("missing/out.jsonl"));
    f.actions->saveReport();
    QCOMPARE(f.standIns.boxes.warnings().size(), 1);
    QVERIFY(f.standIns.boxes.warnings().first().contains(QStringLiteral("Form1.mnuSaveReport_Click at line 104")));
}

void TestRowActions::removeDoneKeepsFailedAndUnrunRows()
{
    Fixture f;
    f.running = true;
    f.actions->removeDone();
    QCOMPARE(f.list.count(), 4);
    f.running = false;
    f.actions->removeDone();
    QCOMPARE(f.list.rows(), (QStringList{QStringLiteral("http://b/\u202e"), QStringLiteral("http://d/")}));
    QCOMPARE(f.list.rowState(1), State::Failed);
    QCOMPARE(f.list.rowState(2), State::None);
}

QTEST_GUILESS_MAIN(TestRowActions)
#include "tst_RowActions.moc"
