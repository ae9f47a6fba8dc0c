#include "support/RuntimeError.h"
#include "urllist/UrlListModel.h"

#include <QSignalSpy>
#include <QtTest>

class TestUrlListModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsTextsExactlyInOrderWithDuplicates();
    void removingARowClosesTheGap();
    void clearEmptiesTheList();
    void selectionIsOneRowOrNone();
    void outOfRangeRowsAndColumnsRaise();
    void columnHeaderAndWidth();
    void burstsReachViewsInBatches();
};

void TestUrlListModel::keepsTextsExactlyInOrderWithDuplicates()
{
    UrlListModel list;
    const QStringList texts = {QStringLiteral("  a  "), QString(), QStringLiteral("a"), QStringLiteral("a"),
                               QStringLiteral("   ")};
    for (const QString &text : texts)
        list.append(text);
    QCOMPARE(list.count(), 5);
    for (int row = 1; row <= 5; ++row)
        QCOMPARE(list.text(row), texts.at(row - 1));
    list.appendRows({QStringLiteral("x"), QStringLiteral("y")});
    QCOMPARE(list.count(), 7);
    QCOMPARE(list.text(7), QStringLiteral("y"));
}

void TestUrlListModel::removingARowClosesTheGap()
{
    UrlListModel list;
    for (int i = 1; i <= 5; ++i)
        list.append(QString::number(i));
    list.remove(2);
    QCOMPARE(list.rows(),
             (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}));
}

void TestUrlListModel::clearEmptiesTheList()
{
    UrlListModel list;
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    list.clear();
    QCOMPARE(resets.count(), 0);
    list.append(QStringLiteral("a"));
    list.clear();
    QCOMPARE(list.count(), 0);
    QCOMPARE(resets.count(), 1);
}

void TestUrlListModel::selectionIsOneRowOrNone()
{
    UrlListModel list;
    list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    QCOMPARE(list.selectedRow(), 0);
    for (int i = 1; i <= 3; ++i)
        list.append(QString::number(i));
    list.select(2);
    QCOMPARE(list.selectedRow(), 2);
    list.select(3);
    QCOMPARE(list.selectedRow(), 3);
    list.select(0);
    QCOMPARE(list.selectedRow(), 0);
}

void TestUrlListModel::outOfRangeRowsAndColumnsRaise()
{
    UrlListModel list;
    QVERIFY_THROWS_EXCEPTION(RuntimeError, list.text(1));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, list.remove(0));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, list.setColumnWidth(1, 7000));
    list.append(QStringLiteral("a"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, list.text(2));
}

void TestUrlListModel::columnHeaderAndWidth()
{
    UrlListModel list;
    QCOMPARE(list.columnCount(), 0);
    list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    QSignalSpy widths(&list, &UrlListModel::columnWidthChanged);
    list.setColumnWidth(1, 7000);
    QCOMPARE(list.columnCount(), 1);
    QCOMPARE(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral(" Web Site(s)"));
    QCOMPARE(list.columnWidth(1), 7000.0);
    QCOMPARE(widths.count(), 1);
}

void TestUrlListModel::burstsReachViewsInBatches()
{
    UrlListModel list;
    list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    QSignalSpy inserts(&list, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        list.append(QString::number(i));
    QCOMPARE(list.count(), 1000); // the rows are there at once
    QCOMPARE(list.text(1000), QStringLiteral("999"));
    QVERIFY(inserts.count() < 100); // views hear of them in a few batches
    QTRY_COMPARE(list.rowCount(), 1000); // and see all of them soon after
    list.select(1000);
    QCOMPARE(list.selectedRow(), 1000);
    list.remove(1000);
    QCOMPARE(list.rowCount(), 999);
}

QTEST_GUILESS_MAIN(TestUrlListModel)
#include "tst_UrlListModel.moc"
