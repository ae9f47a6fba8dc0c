#include "capture/MetadataFields.h"

#include <QJsonObject>
#include <QtTest>

// A page's metadata as records carry it, and as a Markdown file's YAML header.
class TestMetadataFields : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wordsSplitOnUnicodeSpace_data();
    void wordsSplitOnUnicodeSpace();
    void unstatedFieldsAreNull();
    void frontMatterQuotesEveryString();
};

void TestMetadataFields::wordsSplitOnUnicodeSpace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("words");
    QTest::newRow("empty") << QString() << qint64(0);
    QTest::newRow("white space only") << QStringLiteral(" \n\t ") << qint64(0);
    QTest::newRow("runs of space") << QStringLiteral("  one  two\n\nthree ") << qint64(3);
    QTest::newRow("no-break and ideographic space") << QStringLiteral("a\u00a0b\u3000c\u2003d") << qint64(4);
    QTest::newRow("punctuation is no space") << QStringLiteral("well-known, isn't it?") << qint64(3);
    QTest::newRow("beyond the BMP") << QStringLiteral("\U0001F600 \U0001F600x") << qint64(2);
}

void TestMetadataFields::wordsSplitOnUnicodeSpace()
{
    QFETCH(QString, text);
    QFETCH(qint64, words);
    QCOMPARE(MetadataFields::wordCount(text), words);
}

void TestMetadataFields::unstatedFieldsAreNull()
{
    PageOutcome page;
    page.content = QStringLiteral("héllo world");
    page.metadata.author = QStringLiteral("Ann");
    const QJsonObject fields = MetadataFields::of(page);
    QCOMPARE(fields.keys(),
             (QStringList{"author", "canonical", "description", "lang", "modified", "published", "site_name",
                          "text_sha256", "title", "word_count"}));
    QCOMPARE(fields.value(QStringLiteral("author")).toString(), QStringLiteral("Ann"));
    for (const char *unstated : {"canonical", "description", "lang", "modified", "published", "site_name", "title"})
        QVERIFY2(fields.value(QLatin1String(unstated)).isNull(), unstated);
    QCOMPARE(fields.value(QStringLiteral("word_count")).toInteger(), 2);
    // Of the UTF-8 bytes: sha256sum of "héllo world".
    QCOMPARE(fields.value(QStringLiteral("text_sha256")).toString(),
             QStringLiteral("27c965a4110f97162bc6c0d4a35857c3165747e656b88b14d45469a148390a75"));
    const QJsonObject none = MetadataFields::none();
    QCOMPARE(none.keys(), fields.keys());
    for (const QJsonValue &value : none)
        QVERIFY(value.isNull());
}

void TestMetadataFields::frontMatterQuotesEveryString()
{
    PageOutcome page;
    page.title = QStringLiteral("A \"quoted\" title: with \\ and\nlines\u2028");
    page.metadata.published = QStringLiteral("2024-03-05");
    page.metadata.description = QStringLiteral("# not a comment\t\x01");
    page.content = QStringLiteral("two words");
    const QString header = MetadataFields::frontMatter(page);
    QVERIFY2(header.startsWith(QStringLiteral("---\ntitle: \"A \\\"quoted\\\" title: with \\\\ and\\nlines\\u2028\"\n"
                                              "published: \"2024-03-05\"\n"
                                              "description: \"# not a comment\\t\\u0001\"\n"
                                              "word_count: 2\ntext_sha256: \"")),
             qPrintable(header));
    QVERIFY2(header.endsWith(QStringLiteral("\"\n---\n\n")), qPrintable(header));
    QCOMPARE(header.count(QLatin1Char('\n')), 8);
}

QTEST_GUILESS_MAIN(TestMetadataFields)
#include "tst_MetadataFields.moc"
