#include "engine/answers/PdfText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The limits that keep a hostile PDF to its own row, with stand-ins for the tool.
class TestPdfText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyReadingEndsWithinItsLimits_data();
    void everyReadingEndsWithinItsLimits();
};

void TestPdfText::everyReadingEndsWithinItsLimits_data()
{
    QTest::addColumn<QByteArray>("script"); // the tool's stand-in; empty: none at all
    QTest::addColumn<QString>("failure"); // part of the failure; "too large" for that signal
    QTest::addColumn<int>("rowMs"); // the time left to the row, with a tool limit of a minute; 0: none
    QTest::newRow("hangs") << QByteArray("exec sleep 30")
                           << QStringLiteral("the PDF's text could not be read (pdftotext took longer than 1 s)") << 0;
    QTest::newRow("hangs past the row's limit")
        << QByteArray("exec sleep 30")
        << QStringLiteral("the PDF's text could not be read (pdftotext took longer than 2 s)") << 3500;
    // Time enough for python3 to start on a busy machine: the memory limit ends it.
    QTest::newRow("hogs memory") << QByteArray("exec python3 -c 'b = bytearray(1 << 30)'")
                                 << QStringLiteral("MemoryError)") << 20'000;
    QTest::newRow("floods") << QByteArray("exec yes") << QStringLiteral("too large") << 0;
    QTest::newRow("missing") << QByteArray()
                             << QStringLiteral(
                                    "the PDF's text could not be read: /nonexistent/pdftotext could not be started")
                             << 0;
}

void TestPdfText::everyReadingEndsWithinItsLimits()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, failure);
    QFETCH(int, rowMs);
    QTemporaryDir folder;
    QString program = QStringLiteral("/nonexistent/pdftotext");
    if (!script.isEmpty()) {
        program = folder.filePath(QStringLiteral("pdftotext"));
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + script + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    PdfText pdf(program);
    QSignalSpy done(&pdf, &PdfText::done);
    QSignalSpy failed(&pdf, &PdfText::failed);
    QSignalSpy tooLarge(&pdf, &PdfText::tooLarge);
    PdfText::Limits limits;
    limits.timeMs = rowMs > 0 ? 60'000 : 1000;
    if (rowMs > 0)
        limits.rowDeadline.setRemainingTime(rowMs);
    limits.memoryBytes = 256 * 1024 * 1024;
    limits.textChars = 1000;
    QElapsedTimer clock;
    clock.start();
    pdf.start("%PDF", limits);
    QTRY_COMPARE_WITH_TIMEOUT(done.size() + failed.size() + tooLarge.size(), 1, 10'000);
    QVERIFY2(clock.elapsed() < (rowMs > 0 ? rowMs : 5000), qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(done.size(), 0);
    if (failure == QLatin1String("too large"))
        QCOMPARE(tooLarge.size(), 1);
    else
        QVERIFY2(failed.value(0).value(0).toString().contains(failure),
                 qPrintable(failed.value(0).value(0).toString()));
}

QTEST_GUILESS_MAIN(TestPdfText)
#include "tst_PdfText.moc"
