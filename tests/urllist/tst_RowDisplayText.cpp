#include "urllist/RowDisplayText.h"
#include "urllist/UrlListModel.h"

#include <QtTest>

// What the list, its tooltips and the "Done." box show of a row's texts.
class TestRowDisplayText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shownTexts_data();
    void shownTexts();
    void longToolTipLinesAreBroken();
    void listShowsMarksButKeepsTheRow();
};

void TestRowDisplayText::shownTexts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    const QString rlo(QChar(0x202e));
    QTest::newRow("plain address stays") << "visible"
                                         << "http://a.example/x"
                                         << "http://a.example/x";
    QTest::newRow("override made visible") << "visible"
                                           << "x" + rlo + "txt.exe"
                                           << "x[U+202E]txt.exe";
    QTest::newRow("every mark and control") << "visible" << QStringLiteral("a\u200e\u200f\u061c\u2066\u2069\tb")
                                            << "a[U+200E][U+200F][U+061C][U+2066][U+2069][U+0009]b";
    QTest::newRow("Arabic letters are no marks")
        << "visible" << QStringLiteral("\u0645\u062b\u0627\u0644") << QStringLiteral("\u0645\u062b\u0627\u0644");
    QTest::newRow("isolated") << "isolated" << QStringLiteral("\u0645\u062b\u0627\u0644.com")
                              << QStringLiteral("\u2068\u0645\u062b\u0627\u0644.com\u2069");
    // A closing mark in the row cannot end its isolation early.
    QTest::newRow("isolate cannot be closed from inside")
        << "isolated" << QStringLiteral("a\u2069b") << QStringLiteral("\u2068a[U+2069]b\u2069");
    QTest::newRow("failure line") << "failure" << QStringLiteral("\u0645.com")
                                  << QStringLiteral("row 12: \u2068\u0645.com\u2069: \u2068HTTP error 404\u2069");
    QTest::newRow("tooltip escapes markup") << "toolTip"
                                            << "Saved as /x/<b>&.txt"
                                            << "<p style=\"white-space:pre\">Saved as /x/&lt;b&gt;&amp;.txt</p>";
    QTest::newRow("tooltip shows marks") << "toolTip"
                                         << "a" + rlo << "<p style=\"white-space:pre\">a[U+202E]</p>";
    QTest::newRow("tooltip keeps its lines") << "toolTip"
                                             << "one\ntwo"
                                             << "<p style=\"white-space:pre\">one<br>two</p>";
    QTest::newRow("no tooltip") << "toolTip"
                                << ""
                                << "";
}

void TestRowDisplayText::shownTexts()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    if (kind == QLatin1String("visible"))
        QCOMPARE(RowDisplayText::visible(text), shown);
    else if (kind == QLatin1String("isolated"))
        QCOMPARE(RowDisplayText::isolated(text), shown);
    else if (kind == QLatin1String("failure"))
        QCOMPARE(RowDisplayText::failureLine(12, text, QStringLiteral("HTTP error 404")), shown);
    else
        QCOMPARE(RowDisplayText::toolTip(text), shown);
}

void TestRowDisplayText::longToolTipLinesAreBroken()
{
    // A long path breaks after a separator; a run without one breaks at the width.
    const QString path = QStringLiteral("Saved as /") + QString(60, u'd') + QLatin1Char('/') + QString(200, u'f');
    QString tip = RowDisplayText::toolTip(path);
    tip.remove(QStringLiteral("<p style=\"white-space:pre\">")).remove(QStringLiteral("</p>"));
    const QStringList lines = tip.split(QStringLiteral("<br>"));
    QCOMPARE(lines.join(QString()), path);
    QCOMPARE(lines.first(), QStringLiteral("Saved as /") + QString(60, u'd') + QLatin1Char('/'));
    for (const QString &line : lines)
        QVERIFY(line.size() <= RowDisplayText::WrapColumn);
    QCOMPARE(lines.size(), 4);
}

void TestRowDisplayText::listShowsMarksButKeepsTheRow()
{
    UrlListModel list;
    list.addColumnHeader(QStringLiteral(" Web Site(s)"));
    const QString row = QStringLiteral("http://x/\u202Egnp.exe");
    list.append(row);
    list.setRowState(1, UrlListModel::RowState::Failed, QStringLiteral("refused \u202Ex"));
    const QModelIndex at = list.index(0, 0);
    QCOMPARE(at.data(Qt::DisplayRole).toString(), QStringLiteral("http://x/[U+202E]gnp.exe"));
    QCOMPARE(at.data(Qt::EditRole).toString(), row);
    QVERIFY(at.data(Qt::ToolTipRole).toString().contains(QStringLiteral("refused [U+202E]x")));
    QCOMPARE(list.text(1), row);
    QCOMPARE(list.rowReason(1), QStringLiteral("refused \u202Ex"));
}

QTEST_GUILESS_MAIN(TestRowDisplayText)
#include "tst_RowDisplayText.moc"
