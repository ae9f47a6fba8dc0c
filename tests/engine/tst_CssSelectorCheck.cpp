#include "engine/CssSelectorCheck.h"

#include <QtTest>

class TestCssSelectorCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checksOnlySyntax_data();
    void checksOnlySyntax();
};

void TestCssSelectorCheck::checksOnlySyntax_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<bool>("plausible");

    const char *const valid[] = {
        "div",
        "#id",
        ".a.b",
        "a[href^=\"x\"]",
        "ul > li:nth-child(2n+1)",
        ":is(h1, h2)",
        "a:not([rel~=nofollow])",
        "[data-x='a,b']",
        "*",
        "x-y|z",
        "*|*",
        ":has(> img, + p)",
        "p ~ span + em",
        "div\n>\tp",
        "[lang|=en]",
        "#a\\:b",
        ".\\31 23",
        "#über",
        "a::before",
        "[title=\"it\\\"s ] (\"]",
        "  h1 , h2  ",
        "li:nth-child(-n + 3 of .x)",
        "a[href*='#']",
    };
    for (const char *selector : valid)
        QTest::newRow(selector) << QString::fromUtf8(selector) << true;

    const char *const invalid[] = {
        "",    "   ",     "a[",      "a]", "(a",   "a[x=\"y]", "a[x='y", ":is(h1, h2", "a >", "> a",   "a,,b",  "a,",
        ", a", "a > > b", "a + ~ b", "[]", "a[ ]", "#",        ".",      "a . b",      "a#",  "div\\", "a\x01", "a\x7f",
    };
    for (const char *selector : invalid)
        QTest::newRow(selector) << QString::fromUtf8(selector) << false;
}

void TestCssSelectorCheck::checksOnlySyntax()
{
    QFETCH(QString, selector);
    QFETCH(bool, plausible);
    const QString problem = CssSelectorCheck::problem(selector);
    QVERIFY2(problem.isEmpty() == plausible, qPrintable(selector + QLatin1String(" → ") + problem));
}

QTEST_GUILESS_MAIN(TestCssSelectorCheck)
#include "tst_CssSelectorCheck.moc"
