#include "capture/NameTemplate.h"
#include "capture/OutputFile.h"

#include <QtTest>

class TestNameTemplate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fieldsMakeNamesInsideTheFolder();
    void unsafeTemplatesAndNamesAreRefused();
    void extensionIsNotDoubled_data();
    void extensionIsNotDoubled();
    void restrictedNames_data();
    void restrictedNames();
};

void TestNameTemplate::fieldsMakeNamesInsideTheFolder()
{
    QString failure;
    const NameTemplate byPath(QStringLiteral("{host}/{path}"), QStringLiteral(".md"));
    QCOMPARE(byPath.expand(QStringLiteral("http://Example.com/a/b.html?q"), 1, &failure),
             QStringLiteral("example.com/a/b.html.md"));
    QCOMPARE(byPath.expand(QStringLiteral("example.com/dir/"), 1, &failure),
             QStringLiteral("example.com/dir/index.md"));
    QCOMPARE(byPath.expand(QStringLiteral("https://h//a%2Fb"), 1, &failure), QStringLiteral("h/a/b.md"));

    const NameTemplate fields(QStringLiteral("{port}-{row}-{query}-{hash}.{ext}"), QStringLiteral(".txt"));
    const QString name = fields.expand(QStringLiteral("https://h/p?a=1/2&b=<x>|"), 7, &failure);
    QVERIFY2(name.startsWith(QStringLiteral("443-7-a=1_2&b=_x__-")), qPrintable(name));
    QVERIFY(name.endsWith(QStringLiteral(".txt")) && name.size() == 19 + 10 + 4);
    QVERIFY(failure.isEmpty());

    // Each part is cut to 255 bytes with a hash: two long folders stay apart.
    const QString longA = QStringLiteral("http://h/") + QString(300, QChar(0xe9)) + QStringLiteral("a/x");
    const QString longB = QStringLiteral("http://h/") + QString(300, QChar(0xe9)) + QStringLiteral("b/x");
    const QString a = byPath.expand(longA, 1, &failure);
    const QString b = byPath.expand(longB, 1, &failure);
    QCOMPARE(a.split(QLatin1Char('/')).at(1).toUtf8().size() <= 255, true);
    QVERIFY(a != b);
}

void TestNameTemplate::unsafeTemplatesAndNamesAreRefused()
{
    QVERIFY(NameTemplate::problem(QStringLiteral("{host}/{path}")).isEmpty());
    for (const char *bad : {"/tmp/{host}", "{host}/../x", "./{host}", "{nope}", "{host", "", "~/{host}"})
        QVERIFY2(!NameTemplate::problem(QLatin1String(bad)).isEmpty(), bad);

    const NameTemplate byPath(QStringLiteral("{host}/{path}"), QStringLiteral(".txt"));
    const NameTemplate byQuery(QStringLiteral("{query}/x"), QStringLiteral(".txt"));
    QString failure;
    for (const auto &[tpl, address] : {std::pair{&byPath, "http://h/a/%2e%2e/%2E%2E/etc/passwd"},
                                       std::pair{&byPath, "http://h/a/../../b"}, std::pair{&byQuery, "http://h/?.."}}) {
        failure.clear();
        QVERIFY2(tpl->expand(QLatin1String(address), 1, &failure).isEmpty(), address);
        QVERIFY2(failure.contains(QStringLiteral("..")), qPrintable(failure));
    }
}

void TestNameTemplate::extensionIsNotDoubled_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("hasFields");
    QTest::newRow("text") << "out.txt"
                          << ".txt"
                          << "out.txt" << false;
    QTest::newRow("markdown") << "page.md"
                              << ".md"
                              << "page.md" << false;
    QTest::newRow("another format's ending") << "x.txt"
                                             << ".json"
                                             << "x.txt.json" << false;
    QTest::newRow("folder") << "outdir"
                            << ".txt"
                            << "outdir.txt" << false;
    QTest::newRow("ending inside the name") << "{row}.txt.bak"
                                            << ".txt"
                                            << "3.txt.bak.txt" << true;
    QTest::newRow("yt-dlp's fields are text") << "%(title)s.txt"
                                              << ".txt"
                                              << "%(title)s.txt" << false;
    QTest::newRow("{ext} alone is no field") << "a.{ext}"
                                             << ".md"
                                             << "a.md" << false;
}

void TestNameTemplate::extensionIsNotDoubled()
{
    QFETCH(QString, pattern);
    QFETCH(QString, extension);
    QFETCH(QString, name);
    QFETCH(bool, hasFields);
    const NameTemplate names(pattern, extension);
    QString failure;
    QCOMPARE(names.expand(QStringLiteral("http://h/p"), 3, &failure), name);
    QCOMPARE(names.hasFields(), hasFields);
}

void TestNameTemplate::restrictedNames_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fixed"); // the fixed rule's name, restricted
    QTest::addColumn<QString>("templated"); // by "{host}/{path}-{query}"
    QTest::newRow("plain stays") << "http://h.example/a-b_c.d"
                                 << "h.example_a-b_c.d.txt"
                                 << "h.example/a-b_c.d-.txt";
    QTest::newRow("accents lose their marks") << "http://h/caf%C3%A9 cr%C3%A8me"
                                              << "h_caf%C3%A9_cr%C3%A8me.txt"
                                              << "h/cafe_creme-.txt";
    QTest::newRow("blanks and shell characters, runs as one") << "http://h/a  b?x='1';y=$(z)"
                                                              << "h_a_b_x=_1_y=_z_.txt"
                                                              << "h/a_b-x=_1_y=_z_.txt";
    QTest::newRow("other scripts and a port") << "https://h:8080/%E6%97%A5%E6%9C%AC/x"
                                              << "https_h_8080_%E6%97%A5%E6%9C%AC_x.txt"
                                              << "h/_/x-.txt";
    QTest::newRow("ligatures decompose") << "http://h/%EF%AC%81le"
                                         << "h_%EF%AC%81le.txt"
                                         << "h/file-.txt";
}

void TestNameTemplate::restrictedNames()
{
    QFETCH(QString, address);
    QFETCH(QString, fixed);
    QFETCH(QString, templated);
    QCOMPARE(RestrictedFileName(MakeOutputFileName(address)), fixed);
    NameTemplate names(QStringLiteral("{host}/{path}-{query}"), QStringLiteral(".txt"));
    names.setRestricted(true);
    QString failure;
    QCOMPARE(names.expand(address, 1, &failure), templated);
}

QTEST_GUILESS_MAIN(TestNameTemplate)
#include "tst_NameTemplate.moc"
