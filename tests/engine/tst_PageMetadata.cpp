#include "engine/PageMetadata.h"

#include <QJsonObject>
#include <QtTest>

// Dates as pages write them, made ISO 8601 without guessing what the page left out.
class TestPageMetadata : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void datesAreIso_data();
    void datesAreIso();
    void answerReadsTrimmedAndDated();
};

void TestPageMetadata::datesAreIso_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("iso");
    const auto row = [](const char *name, const char *raw, const char *iso) {
        QTest::newRow(name) << QString::fromLatin1(raw) << QString::fromLatin1(iso);
    };
    row("a date alone stays a date", "2024-03-05", "2024-03-05");
    row("the page's offset kept", "2024-03-05T10:20:30+02:00", "2024-03-05T10:20:30+02:00");
    row("an offset without a colon", "2024-03-05T10:20:30-0530", "2024-03-05T10:20:30-05:30");
    row("UTC", "2024-03-05T10:20:30Z", "2024-03-05T10:20:30Z");
    row("milliseconds kept", "2024-03-05T10:20:30.250Z", "2024-03-05T10:20:30.250Z");
    row("minutes only", "2024-03-05T10:20+01:00", "2024-03-05T10:20:00+01:00");
    row("a space for the T", "2024-03-05 10:20:30+01:00", "2024-03-05T10:20:30+01:00");
    row("no offset: none added", "2024-03-05T10:20:30", "2024-03-05T10:20:30");
    row("surrounding space", "  2024-03-05\n", "2024-03-05");
    row("RFC 2822 with its offset", "Tue, 05 Mar 2024 10:20:30 +0100", "2024-03-05T10:20:30+01:00");
    row("no such day", "2024-02-30", "");
    row("words", "last Tuesday", "");
    row("a year alone", "2024", "");
    row("empty", "", "");
}

void TestPageMetadata::datesAreIso()
{
    QFETCH(QString, raw);
    QFETCH(QString, iso);
    QCOMPARE(PageMetadata::isoDate(raw), iso);
}

void TestPageMetadata::answerReadsTrimmedAndDated()
{
    const PageMetadata metadata =
        PageMetadata::fromAnswer({{QStringLiteral("author"), QStringLiteral(" Ann ")},
                                  {QStringLiteral("published"), QStringLiteral("2024-03-05T10:20:30+02:00")},
                                  {QStringLiteral("modified"), QStringLiteral("soon")},
                                  {QStringLiteral("description"), QJsonValue()},
                                  {QStringLiteral("siteName"), QStringLiteral("Site")},
                                  {QStringLiteral("canonical"), QStringLiteral("https://a.example/x")}});
    QCOMPARE(metadata.author, QStringLiteral("Ann"));
    QCOMPARE(metadata.published, QStringLiteral("2024-03-05T10:20:30+02:00"));
    QVERIFY(metadata.modified.isEmpty());
    QVERIFY(metadata.description.isEmpty());
    QCOMPARE(metadata.siteName, QStringLiteral("Site"));
    QCOMPARE(metadata.canonical, QStringLiteral("https://a.example/x"));
    QVERIFY(PageMetadata::fromAnswer({}).author.isNull());
}

QTEST_GUILESS_MAIN(TestPageMetadata)
#include "tst_PageMetadata.moc"
