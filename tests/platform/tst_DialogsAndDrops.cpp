#include "app/Form1.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/StandInServices.h"
#include "fakes/TestFiles.h"
#include "platform/DialogStandIn.h"
#include "platform/MainWindow.h"
#include "platform/QtFolderBrowser.h"
#include "platform/QtOpenFileDialog.h"
#include "platform/QtSaveFileDialog.h"
#include "platform/SummaryBox.h"
#include "platform/UrlListView.h"
#include "support/QtEventPump.h"
#include "urllist/UrlListModel.h"

#include <QFileDialog>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestDialogsAndDrops : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void folderDialogShowsThePromptAndPreselectsTheStart();
    void folderDialogAnswers();
    void openDialogOffersTextFilesFirstAndAcceptsTypedNames();
    void droppedFilesAreImportedAndLinksAppended();
    void saveDialogProposesTheReportInItsFolder();
    void doneDetailsAreResizable();
};

void TestDialogsAndDrops::cleanup()
{
    DialogStandIn::set({});
}

void TestDialogsAndDrops::folderDialogShowsThePromptAndPreselectsTheStart()
{
    QTemporaryDir dir;
    const QString start = dir.filePath(QStringLiteral("Start"));
    QVERIFY(QDir().mkpath(start));
    QString title;
    QString shownDirectory;
    QStringList selected;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        QFileDialog &dialog = *request.fileDialog;
        title = dialog.windowTitle();
        shownDirectory = dialog.directory().absolutePath();
        selected = dialog.selectedFiles();
        mode = dialog.fileMode();
        return QString();
    });
    QtFolderBrowser browser;
    QCOMPARE(browser.browseForFolder(QStringLiteral("Please select folder:"), start), QString());
    QCOMPARE(title, QStringLiteral("Please select folder:"));
    QCOMPARE(mode, QFileDialog::Directory);
    QCOMPARE(shownDirectory, dir.path());
    QCOMPARE(selected.value(0), start);

    // A start folder that does not exist leaves the dialog at its default.
    browser.browseForFolder(QStringLiteral("Please select folder:"), QStringLiteral("/no/such/folder"));
    QVERIFY(shownDirectory != QStringLiteral("/no/such/folder"));
}

void TestDialogsAndDrops::folderDialogAnswers()
{
    QtFolderBrowser browser;
    for (const auto &[answer, expected] :
         {std::pair{QStringLiteral("/data/out/"), QStringLiteral("/data/out")},
          std::pair{QStringLiteral("/"), QStringLiteral("/")}, std::pair{QString(), QString()}}) {
        DialogStandIn::set([answer = answer](const DialogStandIn::Request &) { return answer; });
        QCOMPARE(browser.browseForFolder(QStringLiteral("p"), QString()), expected);
    }
}

void TestDialogsAndDrops::openDialogOffersTextFilesFirstAndAcceptsTypedNames()
{
    QCOMPARE(QtOpenFileDialog::nameFilters(QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*")),
             (QStringList{QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")}));
    QtOpenFileDialog dialog;
    OpenFileRequest request;
    request.title = QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files");
    request.filter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*");
    QString title;
    QFileDialog::FileMode mode = QFileDialog::Directory;
    QStringList filters;
    DialogStandIn::set([&](const DialogStandIn::Request &asked) {
        QFileDialog &shown = *asked.fileDialog;
        title = shown.windowTitle();
        mode = shown.fileMode();
        filters = shown.nameFilters();
        return QStringLiteral("/typed/missing.txt");
    });
    QCOMPARE(dialog.chooseFile(request), QStringLiteral("/typed/missing.txt"));
    QCOMPARE(title, QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"));
    QCOMPARE(mode, QFileDialog::AnyFile);
    QCOMPARE(filters.first(), QStringLiteral("Text Files (*.txt)"));
    DialogStandIn::set([](const DialogStandIn::Request &) { return QString(); });
    QCOMPARE(dialog.chooseFile(request), QString());
}

void TestDialogsAndDrops::saveDialogProposesTheReportInItsFolder()
{
    QTemporaryDir dir;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QString shownDirectory;
    QString title;
    bool saveKind = false;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        saveKind = request.kind == DialogStandIn::Kind::SaveFile;
        mode = request.fileDialog->acceptMode();
        shownDirectory = request.fileDialog->directory().absolutePath();
        title = request.fileDialog->windowTitle();
        return dir.filePath(QStringLiteral("r.jsonl"));
    });
    QtSaveFileDialog dialog;
    QCOMPARE(dialog.chooseFile(QStringLiteral("Save Report"), dir.filePath(QStringLiteral("x.jsonl"))),
             dir.filePath(QStringLiteral("r.jsonl")));
    QVERIFY(saveKind);
    QCOMPARE(mode, QFileDialog::AcceptSave);
    QCOMPARE(shownDirectory, dir.path());
    QCOMPARE(title, QStringLiteral("Save Report"));
}

void TestDialogsAndDrops::doneDetailsAreResizable()
{
    const QString details = QStringLiteral("row 2: \u2068http://b/\u2069: \u2068HTTP error 404\u2069");
    SummaryBox box(QStringLiteral("Textorin"), QStringLiteral("Done."), QStringLiteral("1 saved, 1 failed."), details);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.detailsArea()->isHidden());
    QCOMPARE(box.detailsButton()->text(), QStringLiteral("Show Details..."));
    QTest::mouseClick(box.detailsButton(), Qt::LeftButton);
    QVERIFY(box.detailsArea()->isVisible());
    QCOMPARE(box.detailsArea()->toPlainText(), details);
    QVERIFY(box.isSizeGripEnabled());
    const QSize before = box.size();
    box.resize(before + QSize(200, 150));
    QTRY_COMPARE(box.size(), before + QSize(200, 150));
    QVERIFY(box.detailsArea()->height() > 160);
}

void TestDialogsAndDrops::droppedFilesAreImportedAndLinksAppended()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a.txt"));
    const QString second = dir.filePath(QStringLiteral("b.txt"));
    QVERIFY(writeTestFile(first, "a1\r\na2"));
    QVERIFY(writeTestFile(second, "b1\n"));
    UrlListModel list;
    list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    FakeMessageBoxes boxes;
    QtEventPump pump;
    StandInServices standIns;
    const FormServices services{boxes,
                                pump,
                                standIns.settings,
                                {&standIns.page},
                                standIns.skin,
                                standIns.folderBrowser,
                                standIns.openFileDialog,
                                {},
                                {},
                                {},
                                {}};
    MainWindow window(list);
    Form1 logic(window, list, services);
    window.setLogic(&logic);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget *target = window.ListView1()->viewport();
    auto drop = [&](QMimeData *data) {
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropEvent(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
        delete data;
    };

    auto *files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
    drop(files);
    QCOMPARE(list.rows(), (QStringList{"a1", "a2", "b1", ""}));

    auto *link = new QMimeData;
    link->setUrls({QUrl(QStringLiteral("https://www.example.com/page?q=1"))});
    drop(link);
    auto *text = new QMimeData;
    text->setText(QStringLiteral("www.example.org/\r\n\n  https://a.test/x \rb.test\n"));
    drop(text);
    QCOMPARE(list.rows().mid(4),
             (QStringList{"https://www.example.com/page?q=1", "www.example.org/", "https://a.test/x", "b.test"}));

    auto *missing = new QMimeData;
    missing->setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.txt")))});
    drop(missing);
    QCOMPARE(boxes.informations(), QStringList{QStringLiteral("File not found")});
}

QTEST_MAIN(TestDialogsAndDrops)
#include "tst_DialogsAndDrops.moc"
