#include "batch/TerminalText.h"

#include <QtTest>

class TestTerminalText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlsAreShownEscaped_data();
    void controlsAreShownEscaped();
};

void TestTerminalText::controlsAreShownEscaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("printed");
    const auto row = [](const char *name, const QString &text, const QString &printed) {
        QTest::newRow(name) << text << printed;
    };
    row("plain, backslashes kept", "http://h/a\\b ✓", "http://h/a\\b ✓");
    row("title, then clear", "http://h/\x1b]0;x\x07\x1b[2J", "http://h/\\x1b]0;x\\x07\\x1b[2J");
    row("forged lines", "http://h/a\r\n[2/2] saved x\nDone.", "http://h/a\\r\\n[2/2] saved x\\nDone.");
    row("tab, DEL and C1", QStringLiteral("a\tb\x7f\u009b1m"), "a\\x09b\\x7f\\x9b1m");
    row("backslashes doubled with an escape", "a\\b\x1b", "a\\\\b\\x1b");
    row("a backslash that reads as an escape", "http://h/\\x1b", "http://h/\\\\x1b");
    row("bidi marks are no controls", QStringLiteral("a\u202Eb"), QStringLiteral("a\u202Eb"));
}

void TestTerminalText::controlsAreShownEscaped()
{
    QFETCH(QString, text);
    QFETCH(QString, printed);
    QCOMPARE(TerminalText::escaped(text), printed);
    QCOMPARE(TerminalText::address(QStringLiteral("https://me:pw@") + text), QStringLiteral("https://") + printed);
}

QTEST_GUILESS_MAIN(TestTerminalText)
#include "tst_TerminalText.moc"
