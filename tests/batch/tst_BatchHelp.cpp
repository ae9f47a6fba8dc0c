#include "batch/BatchHelp.h"

#include <QtTest>

class TestBatchHelp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manualEntriesAreRoff_data();
    void manualEntriesAreRoff();
    void manualListsValuesAndEveryExitStatus();
};

void TestBatchHelp::manualEntriesAreRoff_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("roff");
    const QStringList longName{QStringLiteral("long-name")};
    QTest::newRow("switch") << longName << QString() << QStringLiteral("turns it on.")
                            << QStringLiteral(".B \\-\\-long\\-name\nturns it on.\n");
    QTest::newRow("names and value") << QStringList{QStringLiteral("x"), QStringLiteral("long-name")}
                                     << QStringLiteral("'NAME: VALUE'") << QStringLiteral("sends NAME.")
                                     << QStringLiteral(".BR \\-x \", \" \\-\\-long\\-name \" \\fI\\(aqNAME: "
                                                       "VALUE\\(aq\\fR\"\nsends \\fINAME\\fR.\n");
    // A line that would start with a dot or quote is no request; a backslash is no escape.
    QTest::newRow("control characters") << longName << QString() << QStringLiteral(".hidden \\ and 'x'")
                                        << QStringLiteral(".B \\-\\-long\\-name\n\\&.hidden \\e and 'x'\n");
    QTest::newRow("options, quotes, sentences")
        << longName << QStringLiteral("K/N")
        << QStringLiteral("with -j and --other, not re-run or -1. Fails as \"no -x here\". K of N LISTFILEs.")
        << QStringLiteral(".BR \\-\\-long\\-name \" \\fIK/N\\fR\"\nwith \\fB\\-j\\fR and \\fB\\-\\-other\\fR, not "
                          "re\\-run or \\-1.\nFails as \\(dq\\fBno \\-x here\\fR\\(dq.\n\\fIK\\fR of \\fIN\\fR "
                          "\\fILISTFILE\\fRs.\n");
}

void TestBatchHelp::manualEntriesAreRoff()
{
    QFETCH(QStringList, names);
    QFETCH(QString, valueName);
    QFETCH(QString, description);
    QFETCH(QString, roff);
    BatchCommandLine::Option option;
    option.names = names;
    option.valueName = valueName;
    option.description = description;
    QCOMPARE(BatchHelp::manualOptions({option}), QStringLiteral(".TP\n") + roff);
}

void TestBatchHelp::manualListsValuesAndEveryExitStatus()
{
    BatchCommandLine::Option option;
    option.names = QStringList{QStringLiteral("format")};
    option.valueName = QStringLiteral("FORMAT");
    option.description = QStringLiteral("what each file holds:");
    option.values = {{QStringLiteral("text"), QStringLiteral("the text")},
                     {QStringLiteral("md"), QStringLiteral("marks")}};
    QCOMPARE(BatchHelp::manualOptions({option}),
             QStringLiteral(".TP\n.BR \\-\\-format \" \\fIFORMAT\\fR\"\nwhat each file holds:\n"
                            ".RS\n.TP\n.B text\nthe text\n.TP\n.B md\nmarks\n.RE\n"));

    const QString statuses = BatchHelp::manualExitStatuses();
    for (const auto &[code, meaning] : BatchHelp::exitStatuses())
        QVERIFY2(statuses.contains(QStringLiteral(".TP\n.B %1\n").arg(code)), qPrintable(meaning));
}

QTEST_GUILESS_MAIN(TestBatchHelp)
#include "tst_BatchHelp.moc"
