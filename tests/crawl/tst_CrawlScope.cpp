#include "crawl/CrawlScope.h"

#include <QtTest>

Q_DECLARE_METATYPE(ScopeRules)

namespace {

using Kind = CrawlScope::Verdict::Kind;

const QString Start = QStringLiteral("http://example.org/docs/guide/intro.html");

} // namespace

class TestCrawlScope : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rulesInOrder_data();
    void rulesInOrder();
    void suffixes_data();
    void suffixes();
    void regexProblem_data();
    void regexProblem();

private:
    static void check(const ScopeRules &rules, const QStringList &starts);
};

void TestCrawlScope::check(const ScopeRules &rules, const QStringList &starts)
{
    QFETCH(QString, address);
    QFETCH(int, kind);
    QFETCH(QString, reason);
    CrawlScope scope(rules);
    for (const QString &start : starts)
        scope.addStart(start);
    const CrawlScope::Verdict verdict = scope.verdict(address);
    QCOMPARE(verdict.reason, reason);
    QCOMPARE(int(verdict.kind), kind);
}

void TestCrawlScope::rulesInOrder_data()
{
    QTest::addColumn<ScopeRules>("rules");
    QTest::addColumn<QStringList>("starts");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, const ScopeRules &rules, const QStringList &starts, const QString &address,
                        const QString &reason) {
        QTest::newRow(name) << rules << starts << address << int(reason.isEmpty() ? Kind::Follow : Kind::OutOfScope)
                            << reason;
    };
    const auto regexes = [](const QString &accept, const QString &reject) {
        ScopeRules rules;
        rules.acceptRegex = accept;
        rules.rejectRegex = reject;
        return rules;
    };
    const auto hosts = [](bool spanHosts, const QStringList &domains, bool noParent = false) {
        ScopeRules rules;
        rules.spanHosts = spanHosts;
        rules.domains = domains;
        rules.noParent = noParent;
        return rules;
    };
    const QStringList start{Start};
    const QString rejected = QStringLiteral("matches --reject-regex");
    const QString unaccepted = QStringLiteral("does not match --accept-regex");
    const QString above = QStringLiteral("above the start folder");
    row("reject: anywhere", regexes({}, "/private/"), start, "http://example.org/docs/private/a", rejected);
    row("reject: the whole address", regexes({}, "^/docs/"), start, "http://example.org/docs/a", {});
    row("reject: the host", regexes({}, "example\\.org/docs/old"), start, "http://example.org/docs/old/", rejected);
    row("reject: the query", regexes({}, "[?&]sort="), start, "http://example.org/docs/?a=1&sort=up", rejected);
    row("reject before host", regexes({}, "ads"), start, "http://ads.example.net/", rejected);
    row("reject before accept", regexes(".*", "secret"), start, "http://example.org/secret", rejected);
    row("accept matches", regexes("\\.html$", {}), start, "http://example.org/docs/a.html", {});
    row("accept misses", regexes("\\.html$", {}), start, "http://example.org/docs/", unaccepted);
    row("accept before host", regexes("^https:", {}), start, "http://example.net/", unaccepted);
    row("www is another host", {}, start, "http://www.example.org/", "another host (www.example.org)");
    row("bare is another host", {}, {"https://www.example.org/"}, "https://example.org/", "another host (example.org)");
    row("https of a start host", {}, start, "https://example.org:8443/x", {});
    row("-H: any host", hosts(true, {}), start, "http://example.net/", {});
    row("-H -D: the domain", hosts(true, {"example.net"}), start, "http://example.net/", {});
    row("-H -D: below it", hosts(true, {"example.net"}), start, "http://a.b.example.net/", {});
    row("-H -D: no suffix", hosts(true, {"example.net"}), start, "http://notexample.net/",
        "another host (notexample.net)");
    row("-H -D: no prefix", hosts(true, {"example.net"}), start, "http://example.net.evil.com/",
        "another host (example.net.evil.com)");
    row("-H -D: leading dot", hosts(true, {".example.net"}), start, "http://www.example.net/", {});
    row("-H -D: IDN", hosts(true, {"bücher.de"}), start, "http://www.xn--bcher-kva.de/", {});
    row("-D alone", hosts(false, {"example.org"}), start, "http://www.example.org/", "another host (www.example.org)");
    row("-H: no files", hosts(true, {}), start, "file:///etc/passwd", "another host (file://)");
    row("files of a file start", {}, {"file:///home/me/site/index.html"}, "file:///home/me/a.html", {});
    row("-np: below", hosts(false, {}, true), start, "http://example.org/docs/guide/part/2.html", {});
    row("-np: the folder", hosts(false, {}, true), start, "http://example.org/docs/guide/", {});
    row("-np: above", hosts(false, {}, true), start, "http://example.org/docs/", above);
    row("-np: a sibling", hosts(false, {}, true), start, "http://example.org/docs/guide2/", above);
    row("-np: /docs2/ for /docs/", hosts(false, {}, true), {"http://example.org/docs/?p=1"},
        "http://example.org/docs2/", above);
    row("-np: either start", hosts(false, {}, true), {"http://example.org/a/", "http://example.org/b/"},
        "http://example.org/b/x", {});
    row("-np: another host", hosts(true, {}, true), start, "http://example.net/", {});
}

void TestCrawlScope::rulesInOrder()
{
    QFETCH(ScopeRules, rules);
    QFETCH(QStringList, starts);
    check(rules, starts);
}

void TestCrawlScope::suffixes_data()
{
    QTest::addColumn<QStringList>("accept");
    QTest::addColumn<QStringList>("reject");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, const QStringList &accept, const QStringList &reject, const QString &path,
                        Kind kind, const QString &reason) {
        QTest::newRow(name) << accept << reject << "http://example.org" + path << int(kind) << reason;
    };
    const QString rejected = QStringLiteral("rejected by -R");
    const QString unaccepted = QStringLiteral("not accepted by -A");
    row("-R suffix", {}, {"pdf"}, "/a/REPORT.PDF", Kind::OutOfScope, rejected);
    row("-R dotted", {}, {"txt", ".pdf"}, "/a/report.pdf", Kind::OutOfScope, rejected);
    row("-R wildcard", {}, {"*.pdf"}, "/a/report.Pdf", Kind::OutOfScope, rejected);
    row("-R wildcard, whole segment", {}, {"*draft*"}, "/a/my-draft.html", Kind::OutOfScope, rejected);
    row("-R a page", {}, {"html"}, "/a/b.html", Kind::OutOfScope, rejected);
    row("-R not the folder", {}, {"docs"}, "/docs/a.html", Kind::Follow, {});
    row("-R not the query", {}, {"pdf"}, "/a/get?f=x.pdf", Kind::Follow, {});
    row("-R over -A", {"pdf"}, {"draft*"}, "/a/draft.pdf", Kind::OutOfScope, rejected);
    row("-A accepts", {"pdf"}, {}, "/a/report.PDF", Kind::Follow, {});
    row("-A refuses", {"pdf"}, {}, "/a/report.docx", Kind::OutOfScope, unaccepted);
    row("-A refuses an image", {"pdf"}, {}, "/a/logo.png", Kind::OutOfScope, unaccepted);
    row("-A keeps pages", {"pdf"}, {}, "/a/b.HTM", Kind::Follow, {});
    row("-A keeps folders", {"pdf"}, {}, "/a/", Kind::Follow, {});
    row("-A keeps no suffix", {"pdf"}, {}, "/a/about", Kind::Follow, {});
    row("-A takes an image", {"png"}, {}, "/a/logo.png", Kind::Follow, {});
    row("-A suffix of a name", {"tar.gz"}, {}, "/a/src.tar.gz", Kind::Follow, {});
    row("-A decoded", {"*ü*"}, {}, "/a/%C3%BC.pdf", Kind::Follow, {});
    row("image", {}, {}, "/a/LOGO.PNG", Kind::NotAPage, "an image (.png)");
    row("image with a query", {}, {}, "/a/logo.svg?v=2", Kind::NotAPage, "an image (.svg)");
    row("media", {}, {}, "/v.mp4", Kind::NotAPage, "media (.mp4)");
    row("font", {}, {}, "/f.woff2", Kind::NotAPage, "a font (.woff2)");
    row("archive", {}, {}, "/src.tar.gz", Kind::NotAPage, "an archive (.gz)");
    row("program", {}, {}, "/setup.exe", Kind::NotAPage, "a program (.exe)");
    row("a document", {}, {}, "/a/report.pdf", Kind::Follow, {});
}

void TestCrawlScope::suffixes()
{
    QFETCH(QStringList, accept);
    QFETCH(QStringList, reject);
    ScopeRules rules;
    rules.accept = accept;
    rules.reject = reject;
    check(rules, {QStringLiteral("http://example.org/")});
}

void TestCrawlScope::regexProblem_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("problem");
    QTest::newRow("unclosed") << "(abc"
                              << "wants a regular expression: missing closing parenthesis at position 4";
    QTest::newRow("unopened") << "a)b"
                              << "wants a regular expression: unmatched closing parenthesis at position 1";
    QTest::newRow("class") << "/a[b"
                           << "wants a regular expression: missing terminating ] for character class at "
                              "position 4";
    QTest::newRow("fine") << "^https?://[^/]+/docs/.*\\.html$" << QString();
    QTest::newRow("empty") << "" << QString();
}

void TestCrawlScope::regexProblem()
{
    QFETCH(QString, pattern);
    QFETCH(QString, problem);
    QCOMPARE(CrawlScope::regexProblem(pattern), problem);
}

QTEST_GUILESS_MAIN(TestCrawlScope)
#include "tst_CrawlScope.moc"
