#include "fakes/TestFiles.h"
#include "support/PathHelpers.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestPathHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void existenceAndFolderTests();
    void fileNameOfPathCutsAtTheLastBackslash();
    void desktopFolderEndsInOneSeparator();
};

void TestPathHelpers::existenceAndFolderTests()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("f.txt"));
    QVERIFY(writeTestFile(file));

    QVERIFY(FileExists(file));
    QVERIFY(!FileExists(dir.filePath(QStringLiteral("missing.txt"))));
    QVERIFY(!FileExists(dir.filePath(QStringLiteral("missing/f.txt"))));
    QVERIFY(!FileExists(QString()));

    QVERIFY(IsFolder(dir.path()));
    QVERIFY(IsFolder(dir.path() + QLatin1Char('/')));
    QVERIFY(!IsFolder(file));
    QVERIFY(!IsFolder(dir.filePath(QStringLiteral("missing"))));
    QVERIFY(!IsFolder(QString()));
}

void TestPathHelpers::fileNameOfPathCutsAtTheLastBackslash()
{
    QCOMPARE(FileNameOfPath(QStringLiteral("C:\\")), QString());
    QCOMPARE(FileNameOfPath(QStringLiteral("http://h/a/b")), QStringLiteral("http://h/a/b"));
    QCOMPARE(FileNameOfPath(QStringLiteral("a\\b\\c/d")), QStringLiteral("c/d"));
}

void TestPathHelpers::desktopFolderEndsInOneSeparator()
{
    const QString desktop = DesktopFolderPath();
    QCOMPARE(desktop, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + QLatin1Char('/'));
    QVERIFY(!desktop.endsWith(QStringLiteral("//")));
    QVERIFY(!desktop.contains(QChar(0)));
}

QTEST_GUILESS_MAIN(TestPathHelpers)
#include "tst_PathHelpers.moc"
