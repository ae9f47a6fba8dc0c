#include "engine/answers/BodyText.h"
#include "engine/answers/DocumentKind.h"

#include <QtTest>

Q_DECLARE_METATYPE(DocumentKind::Kind)

// What an answer is by its type, and the text of those that are no page.
class TestDocumentKind : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typesDecideTheAnswer_data();
    void typesDecideTheAnswer();
    void localFilesGoByTheirExtension();
    void xmlGivesItsTextContent_data();
    void xmlGivesItsTextContent();
    void plainTextIsDecodedByItsCharset();
};

void TestDocumentKind::typesDecideTheAnswer_data()
{
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<DocumentKind::Kind>("kind");
    QTest::addColumn<QString>("mimeType");
    const auto row = [](const char *type, DocumentKind::Kind kind, const char *mimeType) {
        QTest::newRow(type) << QString::fromLatin1(type) << kind << QString::fromLatin1(mimeType);
    };
    row("", DocumentKind::Page, "");
    row("text/html; charset=utf-8", DocumentKind::Page, "text/html");
    row("application/xhtml+xml", DocumentKind::Page, "application/xhtml+xml");
    row("application/javascript", DocumentKind::Page, "application/javascript");
    row("Application/PDF", DocumentKind::Pdf, "application/pdf");
    row("text/plain;charset=\"windows-1251\"", DocumentKind::PlainText, "text/plain");
    row("application/json", DocumentKind::PlainText, "application/json");
    row("application/ld+json", DocumentKind::PlainText, "application/ld+json");
    row("text/xml", DocumentKind::Xml, "text/xml");
    row("application/atom+xml; charset=utf-8", DocumentKind::Xml, "application/atom+xml");
    row("image/svg+xml", DocumentKind::NotAPage, "image/svg+xml");
    row("application/ogg", DocumentKind::NotAPage, "application/ogg");
    row("application/font-woff", DocumentKind::NotAPage, "application/font-woff");
    row("application/x-gzip", DocumentKind::NotAPage, "application/x-gzip");
    row("application/octet-stream", DocumentKind::NotAPage, "application/octet-stream");
}

void TestDocumentKind::typesDecideTheAnswer()
{
    QFETCH(QString, contentType);
    QFETCH(DocumentKind::Kind, kind);
    QFETCH(QString, mimeType);
    const DocumentKind document = DocumentKind::fromContentType(contentType);
    QCOMPARE(document.kind, kind);
    QCOMPARE(document.mimeType, mimeType);
    if (contentType.contains(QLatin1String("1251")))
        QCOMPARE(document.charset, QStringLiteral("windows-1251"));
}

void TestDocumentKind::localFilesGoByTheirExtension()
{
    QCOMPARE(DocumentKind::fromFileName(QStringLiteral("/d/report.PDF")).kind, DocumentKind::Pdf);
    QCOMPARE(DocumentKind::fromFileName(QStringLiteral("/d/notes.txt")).kind, DocumentKind::PlainText);
    // One without a known extension is left to the browser.
    QCOMPARE(DocumentKind::fromFileName(QStringLiteral("/d/page")).kind, DocumentKind::Page);
}

void TestDocumentKind::xmlGivesItsTextContent_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("text"); // null: not well-formed
    QTest::newRow("feed") << QByteArray("<?xml version=\"1.0\"?>\n<rss><channel>\n  <title>A &amp; B</title>"
                                        "<!-- no --><d><![CDATA[<b>x</b>]]></d></channel></rss>\n")
                          << QString() << QStringLiteral("A & B\n<b>x</b>");
    // Elements' texts never touch; blanks between tags break a line at most once.
    QTest::newRow("elements") << QByteArray("<rss><title>Feed</title>\n\n\n  <item><title>Item one</title>"
                                            "<link>http://x/1</link></item>\n <item><d>a <b>bold</b> "
                                            "word<![CDATA[\n\n\n\np2  ]]></d></item></rss>")
                              << QString() << QStringLiteral("Feed\nItem one\nhttp://x/1\na bold word\n\np2");
    QTest::newRow("declared") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xe9</a>")
                              << QString() << QStringLiteral("café");
    QTest::newRow("sent charset") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>caf\xe9</a>")
                                  << QStringLiteral("iso-8859-1") << QStringLiteral("café");
    QTest::newRow("empty") << QByteArray("<a/>") << QString() << QStringLiteral("");
    QTest::newRow("broken") << QByteArray("<a><b>text</a>") << QString() << QString();
}

void TestDocumentKind::xmlGivesItsTextContent()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, charset);
    QFETCH(QString, text);
    QString failure;
    const QString got = BodyText::xml(body, charset, &failure);
    QCOMPARE(got, text);
    QCOMPARE(got.isNull(), text.isNull());
    QCOMPARE(failure.startsWith(QLatin1String("the XML document is not well-formed (line 1: ")), text.isNull());
}

void TestDocumentKind::plainTextIsDecodedByItsCharset()
{
    QCOMPARE(BodyText::plain("\xcf\xf0\xe8", QStringLiteral("windows-1251")), QStringLiteral("При"));
    QCOMPARE(BodyText::plain("caf\xc3\xa9\r\n", QString()), QStringLiteral("café\r\n"));
    QCOMPARE(BodyText::plain("caf\xc3\xa9", QStringLiteral("no-such-charset")), QStringLiteral("café"));
    QCOMPARE(BodyText::plain(QByteArray("\xff\xfe"
                                        "a\0b\0",
                                        6),
                             QString()),
             QStringLiteral("ab"));
}

QTEST_GUILESS_MAIN(TestDocumentKind)
#include "tst_DocumentKind.moc"
