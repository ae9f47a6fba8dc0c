#include "app/Form1.h"
#include "app/MousePointer.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/StandInServices.h"
#include "platform/CaptionProgressBar.h"
#include "platform/DialogStandIn.h"
#include "platform/MainWindow.h"
#include "platform/QtMessageBoxes.h"
#include "platform/Twips.h"
#include "platform/UrlListView.h"
#include "support/QtEventPump.h"
#include "urllist/UrlListModel.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// The window with its logic, the list column added as start-up does.
struct Window {
    Window()
    {
        list.addColumnHeader(QStringLiteral(" Web Site(s)"));
        list.setColumnWidth(1, 7000);
        window.setLogic(&logic);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void moveOver(QWidget *widget)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    UrlListModel list;
    FakeMessageBoxes boxes;
    QtEventPump pump;
    StandInServices standIns;
    FormServices services{boxes,
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
    MainWindow window{list};
    Form1 logic{window, list, services};
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowIsFixedWhiteAndSized();
    void controlsShowInsideTheWindowApart();
    void textsFontsAndTooltip();
    void tabOrderStartsAtTheList();
    void listIsAOneColumnReportView();
    void hoverSetsTheWindowPointer();
    void pointerValuesMapToCursors();
    void buttonsRunTheListCommands();
    void deleteKeyAndDoubleClickRemoveRows();
    void tabLeavesTheListAndHomeEndReachItsEnds();
    void busyWindowRefusesRemoval();
    void boxesShowLoneCarriageReturnsAsLineBreaks();
};

void TestMainWindow::windowIsFixedWhiteAndSized()
{
    Window w;
    QCOMPARE(w.window.size(), QSize(536, 377));
    QCOMPARE(w.window.minimumSize(), w.window.maximumSize());
    QVERIFY(!(w.window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(w.window.palette().color(QPalette::Window), QColor(Qt::white));
}

void TestMainWindow::controlsShowInsideTheWindowApart()
{
    Window w;
    const QStringList names{"ListView1",   "Frame1",      "Text1",       "PushButton8", "ProgressBar1",
                            "PushButton1", "PushButton6", "PushButton4", "PushButton7", "PushButton2"};
    QList<QWidget *> controls;
    for (const QString &name : names) {
        auto *control = w.window.findChild<QWidget *>(name);
        QVERIFY2(control && control->isVisible(), qPrintable(name));
        controls.append(control);
    }
    const auto area = [&w](QWidget *control) { return QRect(control->mapTo(&w.window, QPoint()), control->size()); };
    for (QWidget *control : controls) {
        QVERIFY2(w.window.rect().contains(area(control)), qPrintable(control->objectName()));
        for (QWidget *other : controls) {
            if (other != control && !control->isAncestorOf(other) && !other->isAncestorOf(control))
                QVERIFY2(!area(control).intersects(area(other)),
                         qPrintable(control->objectName() + QLatin1Char(' ') + other->objectName()));
        }
    }
}

void TestMainWindow::textsFontsAndTooltip()
{
    Window w;
    const QStringList captions = {QStringLiteral("Add One URL"),
                                  QStringLiteral("Start Saving As Text Files"),
                                  QStringLiteral("Load Sample/Example Sites"),
                                  QStringLiteral("Load List Of URLs"),
                                  QStringLiteral("Clear List"),
                                  QStringLiteral("...")};
    const auto buttons = w.window.pushButtons();
    for (int i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons.at(i)->text(), captions.at(i));
        QCOMPARE(buttons.at(i)->font().family(), QStringLiteral("Arial"));
        QCOMPARE(buttons.at(i)->font().pointSizeF(), 11.25);
        QVERIFY(buttons.at(i)->font().bold());
    }
    QCOMPARE(w.window.font().family(), QStringLiteral("Arial"));
    QCOMPARE(w.window.font().pointSizeF(), 9.0);
    QVERIFY(w.window.Text1()->font().bold());
    QCOMPARE(w.window.Frame1()->title(), QStringLiteral("Save Results To This Folder"));
    QVERIFY(w.window.Text1()->text().isEmpty());
    QCOMPARE(w.window.ProgressBar1()->text(), QStringLiteral("Progress Bar"));
    QCOMPARE(w.window.ProgressBar1()->minimum(), 0);
    QCOMPARE(w.window.ProgressBar1()->maximum(), 100);
    QCOMPARE(w.window.ListView1()->toolTip(),
             QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line "
                            "to right and out of window to reveal full names."));
    w.window.setProgressCaption(QStringLiteral("Processing: a"));
    QCOMPARE(w.window.ProgressBar1()->text(), QStringLiteral("Processing: a"));
}

void TestMainWindow::tabOrderStartsAtTheList()
{
    Window w;
    QWidget *widget = w.window.ListView1();
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        order << widget->objectName();
        do
            widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty());
    }
    QCOMPARE(order,
             (QStringList{"ListView1", "Text1", "PushButton8", "PushButton1", "PushButton6", "PushButton4",
                          "PushButton7", "PushButton2"}));
    QCOMPARE(QApplication::focusWidget(), w.window.ListView1());
}

void TestMainWindow::listIsAOneColumnReportView()
{
    Window w;
    UrlListView *view = w.window.ListView1();
    QVERIFY(!view->header()->isHidden());
    QCOMPARE(view->header()->count(), 1);
    QCOMPARE(view->columnWidth(0), Twips::toPixels(7000));
    QCOMPARE(view->header()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(view->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    w.list.append(QStringLiteral("http://a.example/"));
    w.list.append(QStringLiteral("http://b.example/"));
    QCOMPARE(view->model()->index(1, 0).data().toString(), QStringLiteral("http://b.example/"));
}

void TestMainWindow::hoverSetsTheWindowPointer()
{
    Window w;
    for (QPushButton *button : w.window.pushButtons()) {
        w.window.setMousePointer(MousePointer::Default);
        w.moveOver(button);
        QCOMPARE(w.window.mousePointer(), MousePointer::Custom);
    }
    w.moveOver(w.window.ListView1()->viewport());
    QCOMPARE(w.window.mousePointer(), MousePointer::Default);
    w.moveOver(w.window.PushButton2());
    w.moveOver(w.window.Frame1());
    QCOMPARE(w.window.mousePointer(), MousePointer::Default);
    w.moveOver(w.window.PushButton2());
    w.moveOver(&w.window);
    QCOMPARE(w.window.mousePointer(), MousePointer::Default);

    w.window.setMousePointer(MousePointer::Hourglass);
    w.moveOver(w.window.PushButton1());
    w.moveOver(w.window.ListView1()->viewport());
    w.moveOver(&w.window);
    QCOMPARE(w.window.mousePointer(), MousePointer::Hourglass);
}

void TestMainWindow::pointerValuesMapToCursors()
{
    Window w;
    w.window.setMousePointer(MousePointer::Hourglass);
    QCOMPARE(w.window.cursor().shape(), Qt::WaitCursor);
    QCOMPARE(w.window.PushButton1()->cursor().shape(), Qt::WaitCursor);
    w.window.setMousePointer(MousePointer::Custom);
    QCOMPARE(w.window.cursor().shape(), Qt::ArrowCursor); // no image loaded
    QPixmap hand(32, 32);
    hand.fill(Qt::red);
    w.window.setMouseIcon(QCursor(hand, 4, 0));
    QCOMPARE(w.window.cursor().shape(), Qt::BitmapCursor);
    w.window.setMousePointer(MousePointer::Default);
    QCOMPARE(w.window.cursor().shape(), Qt::ArrowCursor);
}

void TestMainWindow::buttonsRunTheListCommands()
{
    Window w;
    w.boxes.answers = {QStringLiteral(" http://typed.example/ ")};
    QTest::mouseClick(w.window.PushButton1(), Qt::LeftButton);
    QTest::mouseClick(w.window.PushButton4(), Qt::LeftButton);
    QCOMPARE(w.list.count(), 3);
    QCOMPARE(w.list.text(1), QStringLiteral(" http://typed.example/ "));
    QTest::mouseClick(w.window.PushButton7(), Qt::LeftButton);
    QCOMPARE(w.list.count(), 0);
}

void TestMainWindow::deleteKeyAndDoubleClickRemoveRows()
{
    Window w;
    for (int i = 1; i <= 4; ++i)
        w.list.append(QStringLiteral("row %1").arg(i));
    UrlListView *view = w.window.ListView1();
    view->setFocus();
    w.list.select(2);
    QTest::keyClick(view, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(w.list.rows(), (QStringList{"row 1", "row 3", "row 4"}));
    w.list.select(1);
    QTest::keyClick(view, Qt::Key_Period); // its code is the Delete key's after masking
    QTest::keyClick(view, Qt::Key_Backspace);
    QCOMPARE(w.list.count(), 3);

    const QRect third = view->visualRect(w.list.index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(w.list.rows(), (QStringList{"row 1", "row 3"}));
}

// Tab leaves the list for the window's next control; Home and End go to the first and last row.
void TestMainWindow::tabLeavesTheListAndHomeEndReachItsEnds()
{
    Window w;
    for (int i = 1; i <= 5; ++i)
        w.list.append(QStringLiteral("row %1").arg(i));
    UrlListView *view = w.window.ListView1();
    w.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    view->setFocus();
    QVERIFY(view->hasFocus());
    w.list.select(3);
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->currentIndex().row(), 4);
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(view->currentIndex().row(), 0);
    QTest::keyClick(view, Qt::Key_Tab);
    QVERIFY(!view->hasFocus());
    QCOMPARE(view->currentIndex().row(), 0);
}

void TestMainWindow::busyWindowRefusesRemoval()
{
    Window w;
    w.list.append(QStringLiteral("a"));
    w.list.select(1);
    w.window.setMousePointer(MousePointer::Hourglass);
    QTest::keyClick(w.window.ListView1(), Qt::Key_Delete);
    QTest::mouseClick(w.window.PushButton7(), Qt::LeftButton);
    QCOMPARE(w.list.count(), 1);
    w.window.setMousePointer(MousePointer::Default);
    QTest::mouseClick(w.window.PushButton7(), Qt::LeftButton);
    QCOMPARE(w.list.count(), 0);
}

void TestMainWindow::boxesShowLoneCarriageReturnsAsLineBreaks()
{
    QCOMPARE(QtMessageBoxes::displayText(QStringLiteral("a\r\nb\r\rc")), QStringLiteral("a\nb\n\nc"));
    QtMessageBoxes boxes;
    QVector<DialogStandIn::Request> seen;
    DialogStandIn::set([&](const DialogStandIn::Request &request) {
        seen.append(request);
        return QStringLiteral("answer");
    });
    boxes.information(QStringLiteral("Done."));
    boxes.warning(QStringLiteral("Application Error"), QStringLiteral("x"));
    QCOMPARE(boxes.inputBox(QStringLiteral("Enter URL to add: ")), QStringLiteral("answer"));
    DialogStandIn::set({});
    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen.at(0).caption, QStringLiteral("Textorin"));
    QCOMPARE(seen.at(1).caption, QStringLiteral("Application Error"));
    QVERIFY(seen.at(2).kind == DialogStandIn::Kind::Input);
}

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
