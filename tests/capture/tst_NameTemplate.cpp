#include "capture/NameTemplate.h"

#include <QtTest>

class TestNameTemplate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fieldsMakeNamesInsideTheFolder();
    void unsafeTemplatesAndNamesAreRefused();
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

QTEST_GUILESS_MAIN(TestNameTemplate)
#include "tst_NameTemplate.moc"
