#include "app/Form1.h"
#include "app/IFormView.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/TestFiles.h"
#include "platform/ColourValue.h"
#include "platform/CursorFile.h"
#include "platform/MainWindow.h"
#include "platform/StyleSheetSkin.h"
#include "support/RuntimeError.h"
#include "urllist/UrlListModel.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString shippedFile(const QString &name)
{
    return QFileInfo(QStringLiteral(TEXTORIN_APP_PATH)).absolutePath() + QLatin1Char('/') + name;
}

QString sourceFile(const QString &relative)
{
    return QStringLiteral(TEXTORIN_SOURCE_DIR "/") + relative;
}

} // namespace

class TestStartUpLayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void handPointerLoadsWithItsHotSpot();
    void unreadablePointerFileRaises();
    void productIconHasItsFourImages();
    void buttonFaceIsThePaletteButtonColour();
    void skinAppliesTheStyleSheet();
};

void TestStartUpLayer::handPointerLoadsWithItsHotSpot()
{
    const QCursor cursor = CursorFile::load(shippedFile(QStringLiteral("HAND-M.CUR")));
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.pixmap().size(), QSize(32, 32));
    QCOMPARE(cursor.hotSpot(), QPoint(12, 2));

    UrlListModel list;
    MainWindow window(list);
    window.loadMouseIcon(shippedFile(QStringLiteral("HAND-M.CUR")));
    window.setMousePointer(99);
    QCOMPARE(window.cursor().shape(), Qt::BitmapCursor);
}

void TestStartUpLayer::unreadablePointerFileRaises()
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("HAND-M.CUR"));
    QVERIFY(writeTestFile(bad, "not a cursor"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, CursorFile::load(bad));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, CursorFile::load(dir.filePath(QStringLiteral("missing.cur"))));
}

void TestStartUpLayer::productIconHasItsFourImages()
{
    UrlListModel list;
    MainWindow window(list);
    window.setProductIcon();
    QList<QSize> sizes = window.windowIcon().availableSizes();
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    QCOMPARE(sizes, (QList<QSize>{{32, 32}, {48, 48}, {128, 128}, {256, 256}}));
    QImageReader reader(sourceFile(QStringLiteral("resources/textorin.ico")));
    QCOMPARE(reader.imageCount(), 4);
}

void TestStartUpLayer::buttonFaceIsThePaletteButtonColour()
{
    const QPalette palette = QApplication::palette();
    QCOMPARE(ColourValue::toColor(ButtonFaceColour, palette), palette.color(QPalette::Button));
    QCOMPARE(ColourValue::toColor(0x0000FF, palette), QColor(255, 0, 0));
    UrlListModel list;
    MainWindow window(list);
    window.setBackColor(ButtonFaceColour);
    window.setPlainControlsBackColor(ButtonFaceColour);
    QCOMPARE(window.palette().color(QPalette::Window), palette.color(QPalette::Button));
    QCOMPARE(window.Frame1()->palette().color(QPalette::Window), palette.color(QPalette::Button));
}

void TestStartUpLayer::skinAppliesTheStyleSheet()
{
    StyleSheetSkin skin;
    QVERIFY(!skin.loadSkin(QStringLiteral("/nonexistent.cjs"), QString()));
    QVERIFY(skin.loadSkin(sourceFile(QStringLiteral("resources/skins/o.cjs")), QString()));
    QVERIFY(skin.styleSheet().contains(QStringLiteral("QPushButton")));
    UrlListModel list;
    MainWindow window(list);
    skin.applyWindow(window.windowHandle()); // options off: only that window
    QCOMPARE(window.styleSheet(), skin.styleSheet());
    skin.setApplyOptions(skin.applyOptions() | ISkinEngine::ApplyToApplication);
    skin.setSkinDialogs(true);
    skin.applyWindow(window.windowHandle());
    QCOMPARE(qApp->styleSheet(), skin.styleSheet());
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(TestStartUpLayer)
#include "tst_StartUpLayer.moc"
