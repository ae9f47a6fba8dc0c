#include "batch/BatchCommandLine.h"
#include "capture/EngineOptionText.h"
#include "capture/OutputFormat.h"
#include "fakes/TestFiles.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

BatchCommandLine::Parsed parse(const QStringList &arguments)
{
    return BatchCommandLine::parse(QStringList{QStringLiteral("textorin-batch")} + arguments);
}

} // namespace

class TestBatchCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void badValuesAreOneLineUsageErrors_data();
    void badValuesAreOneLineUsageErrors();
    void valuesReachTheirFields();
    void pageOptionsReachTheEngine();
    void proxyVariablesAsCurlReadsThem();
    void helpListsEveryOptionAndFormat();
    void formatTakesExactlyTheFormatsNames();
    void configFileComesFirstAndNamesItsErrors();
    void configFileIsNamedInConflictsAndReadOnlyWhenRegular();
};

void TestBatchCommandLine::badValuesAreOneLineUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    const auto row = [](const char *name, const QStringList &arguments, const char *problem) {
        QTest::newRow(name) << arguments << QString::fromUtf8(problem);
    };
    row("timeout word", {"--timeout", "soon", "l"}, "--timeout wants a number of seconds");
    row("timeout zero", {"--timeout", "0", "l"}, "--timeout");
    row("settle negative", {"--settle", "-1", "l"}, "--settle");
    row("wait infinite", {"--wait", "inf", "l"}, "--wait");
    row("window one side", {"--window-size", "1280", "l"}, "--window-size wants WIDTHxHEIGHT");
    row("window too small", {"--window-size", "99x800", "l"}, "--window-size");
    row("jobs zero", {"-j", "0", "l"}, "--jobs wants a whole number from 1 to 32");
    row("tries over", {"--tries", "101", "l"}, "--tries");
    row("shard past count", {"--shard", "3/2", "l"}, "--shard wants K/N");
    row("front matter without Markdown", {"--front-matter", "--format", "json", "l"},
        "--front-matter heads Markdown files: give --format markdown");
    row("format", {"--format", "txt", "l"}, "--format wants text, markdown, html or json, not \"txt\"");
    row("url line break", {"-u", "a\nb"}, "--url wants one address");
    row("control character shown", {"--jobs", "4\n5", "l"}, "not \"4\uFFFD5\"");
    row("empty archive", {"--archive", "", "l"}, "--archive wants a file");
    row("empty report", {"--report", "", "l"}, "--report");
    row("empty folder", {"--folder", "", "l"}, "--folder");
    row("unknown", {"--bogus", "l"}, "unknown option '--bogus'");
    row("misspelt", {"--fromat", "md", "l"}, "unknown option '--fromat'. Did you mean '--format'?");
    row("begun", {"--no-check", "l"}, "Did you mean '--no-check-certificate'?");
    row("output file", {"-O", "all.txt", "l"}, "--output-document wants - (standard output), not \"all.txt\"");
    row("both on standard output", {"-O", "-", "--report", "-", "l"}, "-O - and --report - cannot both");
    row("missing config", {"--config", "/nonexistent/batch.conf", "l"}, "cannot read /nonexistent/batch.conf");
    row("missing value", {"l", "--tries"}, "--tries");
    row("nothing to load", {"-q"}, "missing LISTFILE, URL or -u URL");
    row("block unknown", {"--block", "images,video", "l"},
        "--block wants none or a list of images,media,fonts,stylesheets");
    row("header cookie", {"--header", "cookie: a=b", "l"}, "--header cannot set Cookie");
    row("header host", {"--header", "Host: x", "l"}, "--header cannot set Host");
    row("header length", {"--header", "content-length: 5", "l"},
        "--header cannot set Content-Length: the browser engine");
    row("header chunked", {"--header", "Transfer-Encoding: chunked", "l"}, "--header cannot set Transfer-Encoding");
    row("header upgrade", {"--header", "Upgrade: h2c", "l"}, "--header cannot set Upgrade");
    row("header expect", {"--header", "Expect: 100-continue", "l"}, "--header cannot set Expect");
    row("header connection", {"--header", "Connection: close", "l"}, "--header cannot set Connection");
    row("header no colon", {"--header", "X-A b", "l"}, "--header wants \"Name: value\"");
    row("header name blank", {"--header", "X A: b", "l"}, "--header wants");
    row("proxy scheme", {"--proxy", "ftp://h:21", "l"}, "--proxy wants a proxy");
    row("proxy path", {"--proxy", "http://h:3128/x", "l"}, "--proxy wants a proxy");
    row("lang", {"--lang", "de_DE", "l"}, "--lang wants a language tag");
    row("cookies missing", {"--cookies", "/nonexistent/c.txt", "l"}, "--cookies wants a readable file");
    row("password file missing", {"--user", "me", "--password-file", "/nonexistent", "l"},
        "--password-file wants a readable file");
    row("user alone", {"--user", "me", "l"}, "--user needs --password-file FILE");
    row("require alone", {"--require-selector", "l"}, "--require-selector needs --wait-for");
    row("selector unbalanced", {"--wait-for", "div[data-x", "l"}, "--wait-for wants a CSS selector (");
    row("delay negative", {"--delay", "-2", "l"}, "--delay");
    row("user agent blank", {"--user-agent", " ", "l"}, "--user-agent");
    // The habits of wget, curl and yt-dlp point at this program's options.
    row("curl retry", {"--retry", "3", "l"}, "unknown option '--retry'. Did you mean '--tries'?");
    row("wget tries", {"-t", "3", "l"}, "unknown option '-t'. Did you mean '--tries'?");
    row("curl insecure", {"-k", "l"}, "Did you mean '--no-check-certificate'?");
    row("curl cookie jar", {"--cookie-jar", "c.txt", "l"}, "Did you mean '--save-cookies'?");
    row("json flag", {"--json", "l"}, "Did you mean '--format json'?");
    row("version", {"-V"}, "Did you mean '--version'?");
    row("curl header", {"-H", "X-A: b", "l"}, "--span-hosts needs -r (--recursive); a request header is --header");
    row("format txt", {"--format", "txt", "l"}, "not \"txt\". Did you mean 'text'?");
    row("format case", {"--format", "JSON", "l"}, "Did you mean 'json'?");
    row("format article", {"--format", "article", "l"}, "the main article alone is --main-content");
    const char *const mapped[][2] = {
        {"-T", "--timeout"},
        {"--max-time", "--timeout"},
        {"--connect-timeout", "--timeout"},
        {"-w", "--wait"},
        {"--cacert", "--ca-certificate"},
        {"--add-header", "--header"},
        {"-U", "--user-agent"},
        {"-x", "--proxy"},
        {"-b", "--cookies"},
        {"--load-cookies", "--cookies"},
        {"-c", "--save-cookies"},
        {"--directory-prefix", "-P"},
        {"--markdown", "--format markdown"},
        {"--download-archive", "--archive"},
        {"-a", "-i"},
        {"--batch-file", "-i"},
    };
    for (const auto &[flag, meant] : mapped) {
        QTest::newRow(flag)
            << QStringList{QString::fromLatin1(flag), QStringLiteral("l")}
            << QStringLiteral("unknown option '%1'. Did you mean '%2'?").arg(QLatin1String(flag), QLatin1String(meant));
    }
}

void TestBatchCommandLine::badValuesAreOneLineUsageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    const BatchCommandLine::Parsed parsed = parse(arguments);
    QVERIFY2(parsed.error.contains(problem), qPrintable(parsed.error));
    QCOMPARE(BatchCommandLine::usageError(QStringLiteral("textorin-batch"), parsed.error),
             QStringLiteral("textorin-batch: %1\nTry 'textorin-batch --help'.\n").arg(parsed.error));
    QVERIFY(!parsed.error.contains(QLatin1Char('\n')));
}

void TestBatchCommandLine::valuesReachTheirFields()
{
    const BatchCommandLine::Parsed parsed = parse({"-u",        "a",
                                                   "first.txt", "--url",
                                                   "b",         "-j",
                                                   "2",         "--jobs",
                                                   "3",         "--timeout",
                                                   "1.5",       "--settle",
                                                   "0",         "--window-size",
                                                   "1024x700",  "--shard",
                                                   "2/3",       "--wait",
                                                   "0.25",      "--format",
                                                   "md",        "--main-content",
                                                   "-P",        "out",
                                                   "-q",        "-",
                                                   "-u",        "c",
                                                   "-i",        "in.txt",
                                                   "--stdout",  "--feed",
                                                   "f1",        "--sitemap",
                                                   "s1",        "--feed",
                                                   "f2"});
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    const BatchOptions &options = parsed.options;
    QCOMPARE(options.addresses, (QStringList{"a", "b", "c"}));
    QCOMPARE(options.listFiles, (QStringList{"in.txt", "first.txt", "-"}));
    // An argument with a scheme is an address; -nc is wget's --no-clobber.
    const BatchCommandLine::Parsed addresses = parse({"HTTPS://a.test/", "list", "file:///tmp/x.html", "-nc"});
    QCOMPARE(addresses.options.addresses, (QStringList{"HTTPS://a.test/", "file:///tmp/x.html"}));
    QCOMPARE(addresses.options.listFiles, QStringList{"list"});
    QVERIFY(addresses.options.noClobber);
    QCOMPARE(options.jobs, 3);
    QCOMPARE(options.engine.pageLimitMs, 1500);
    QCOMPARE(options.engine.settleMs, 0);
    QCOMPARE(options.engine.windowSize, QSize(1024, 700));
    QCOMPARE(options.shard, 2);
    QCOMPARE(options.shards, 3);
    QCOMPARE(options.hostWaitMs, 250);
    QVERIFY(options.engine.form == EngineOptions::PageForm::Markdown && options.engine.mainContent);
    QVERIFY(options.folderGiven && options.folder == QStringLiteral("out"));
    QVERIFY(options.quiet && !options.verbose && !options.noClobber && options.toStandardOutput);
    QCOMPARE(options.format, QStringLiteral("markdown"));
    // Sitemaps and feeds in the order given.
    QStringList sources;
    for (const WebSource &source : options.webSources)
        sources << (source.kind == WebSource::Kind::Feed ? "feed " : "sitemap ") + source.address;
    QCOMPARE(sources, (QStringList{"feed f1", "sitemap s1", "feed f2"}));

    // --help and --version answer whatever else the line holds.
    QCOMPARE(parse({"--jobs", "0", "--help"}).request, BatchCommandLine::Request::Help);
    QCOMPARE(parse({"--version"}).request, BatchCommandLine::Request::Version);
}

void TestBatchCommandLine::pageOptionsReachTheEngine()
{
    QTemporaryDir folder;
    const QString passwordFile = folder.filePath(QStringLiteral("pw"));
    QFile file(passwordFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("s3cret: x\r\nsecond line\n");
    file.close();
    const BatchCommandLine::Parsed parsed = parse({"--block",
                                                   "images,fonts",
                                                   "--header",
                                                   "X-Token: a:b",
                                                   "--header",
                                                   "Accept: text/plain",
                                                   "--proxy",
                                                   "socks5h://me:p%40ss@[::1]",
                                                   "--user",
                                                   "u",
                                                   "--password-file",
                                                   passwordFile,
                                                   "--wait-for",
                                                   "main > p",
                                                   "--require-selector",
                                                   "--scroll",
                                                   "--delay",
                                                   "1.5",
                                                   "--no-check-certificate",
                                                   "--lang",
                                                   "de-DE",
                                                   "l"});
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    const EngineOptions &engine = parsed.options.engine;
    QCOMPARE(engine.blocked, EngineOptions::BlockImages | EngineOptions::BlockFonts);
    QCOMPARE(engine.headers.size(), 2);
    QCOMPARE(engine.headers.front(), (std::pair{QStringLiteral("X-Token"), QStringLiteral("a:b")}));
    QCOMPARE(engine.proxyRules, QStringLiteral("socks5://[::1]:1080"));
    QCOMPARE(engine.proxyBypass, QStringLiteral("<-loopback>"));
    QCOMPARE(engine.proxyUser + QLatin1Char('/') + engine.proxyPassword, QStringLiteral("me/p@ss"));
    QCOMPARE(engine.authPassword, QStringLiteral("s3cret: x"));
    QVERIFY(engine.requireSelector && engine.scroll && !engine.checkCertificates);
    QCOMPARE(engine.delayMs, 1500);
    QCOMPARE(parse({"--block", "none", "l"}).options.engine.blocked, 0);
}

void TestBatchCommandLine::proxyVariablesAsCurlReadsThem()
{
    const auto proxyOf = [](const QList<std::pair<QString, QString>> &variables) {
        QProcessEnvironment environment;
        for (const auto &[name, value] : variables)
            environment.insert(name, value);
        EngineOptions options;
        const QString problem = EngineOptionText::readProxyEnvironment(environment, options);
        return QStringList{problem, options.proxyRules, options.proxyBypass};
    };
    QCOMPARE(
        proxyOf(
            {{"http_proxy", "p:3128"}, {"https_proxy", "http://p:3128"}, {"no_proxy", "example.com,.local, 10.0.0.1"}}),
        (QStringList{{},
                     "http=http://p:3128;https=http://p:3128",
                     "<-loopback>,example.com,*.example.com,local,*.local,10.0.0.1"}));
    // Blanks separate too; addresses stay themselves, ports and ranges are kept, nonsense is left out.
    QCOMPARE(proxyOf({{"http_proxy", "p:3128"}, {"no_proxy", " ::1\t[::1]:8080 *.b.example. 10.0.0.0/8 x:99999 a*b"}})
                 .last(),
             QStringLiteral("<-loopback>,[::1],[::1]:8080,b.example,*.b.example,10.0.0.0/8"));
    // Upper-case HTTP_PROXY is not read (a CGI request can set it); all_proxy fills in.
    QCOMPARE(proxyOf({{"HTTP_PROXY", "evil:1"}, {"ALL_PROXY", "socks5://s:9"}}),
             (QStringList{{}, "http=socks5://s:9;https=socks5://s:9", "<-loopback>"}));
    QCOMPARE(proxyOf({{"http_proxy", "p:3128"}, {"no_proxy", "*"}}), (QStringList{{}, {}, {}}));
    QVERIFY(proxyOf({{"https_proxy", "ftp://x"}}).front().startsWith(QLatin1String("https_proxy wants")));
}

void TestBatchCommandLine::helpListsEveryOptionAndFormat()
{
    const QString help = BatchCommandLine::help(QStringLiteral("textorin-batch"));
    for (const BatchCommandLine::Option &option : BatchCommandLine::options()) {
        const QRegularExpression head(
            QStringLiteral("\n  (-\\w, )?(--[\\w-]+, )*--%1%2")
                .arg(option.names.last(),
                     option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + option.valueName));
        QVERIFY2(help.contains(head), qPrintable(option.names.last()));
        QVERIFY2(help.contains(option.description.section(QLatin1Char(' '), 0, 2)), qPrintable(option.names.last()));
    }
    for (const OutputFormat &format : OutputFormat::all())
        QVERIFY2(help.contains(QStringLiteral("\n                  %1 ").arg(format.name)), qPrintable(format.name));
    for (const QString &line : help.split(QLatin1Char('\n')))
        QVERIFY2(line.size() <= 79 && !line.endsWith(QLatin1Char(' ')), qPrintable(line));
}

void TestBatchCommandLine::formatTakesExactlyTheFormatsNames()
{
    for (const OutputFormat &format : OutputFormat::all()) {
        const BatchCommandLine::Parsed parsed = parse({"--format", format.name, "l"});
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        QCOMPARE(parsed.options.format, format.name);
        QVERIFY(parsed.options.engine.form == format.form);
    }
    QCOMPARE(parse({"--format", "md", "l"}).options.format, QStringLiteral("markdown"));
    for (const char *other : {"TEXT", "MD", "txt", ""})
        QVERIFY2(!parse({"--format", other, "l"}).error.isEmpty(), other);
}

void TestBatchCommandLine::configFileComesFirstAndNamesItsErrors()
{
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("batch.conf"));
    const auto configure = [&](const QByteArray &text) { QVERIFY(writeTestFile(config, text)); };
    configure("# defaults\n  --timeout 20\r\n\n--format=markdown\n-j8\n--scroll\n"
              "--header X-Token: a b\n--header 'Accept: text/plain'\n-P ~/pages dir\n");
    BatchCommandLine::Parsed parsed =
        BatchCommandLine::parse({"textorin-batch", "--timeout", "5", "--header", "x-token: c", "l"}, config);
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.options.engine.pageLimitMs, 5000);
    QCOMPARE(parsed.options.format, QStringLiteral("markdown"));
    QCOMPARE(parsed.options.jobs, 8);
    QVERIFY(parsed.options.engine.scroll);
    QCOMPARE(parsed.options.folder, QDir::homePath() + QStringLiteral("/pages dir"));
    // A header of the same name on the command line replaces the file's; others add.
    QCOMPARE(parsed.options.engine.headers,
             (QList<std::pair<QString, QString>>{{"Accept", "text/plain"}, {"x-token", "c"}}));
    // --no-config reads none; --config reads another; a missing default is none.
    QCOMPARE(BatchCommandLine::parse({"textorin-batch", "--no-config", "l"}, config).options.jobs, 4);
    QCOMPARE(BatchCommandLine::parse({"textorin-batch", "--config", config, "l"}).options.jobs, 8);
    QVERIFY(BatchCommandLine::parse({"textorin-batch", "l"}, folder.filePath(QStringLiteral("none"))).error.isEmpty());

    const auto errorOf = [&](const QByteArray &text) {
        configure(text);
        return BatchCommandLine::parse({"textorin-batch", "l"}, config).error;
    };
    QCOMPARE(errorOf("-q\n--tiemout 3\n"),
             config + QStringLiteral(":2: unknown option '--tiemout'. Did you mean '--timeout'?"));
    QCOMPARE(errorOf("--jobs 99\n"),
             config + QStringLiteral(":1: --jobs wants a whole number from 1 to 32, not \"99\""));
    QCOMPARE(errorOf("--quiet yes\n"), config + QStringLiteral(":1: --quiet takes no value"));
    QCOMPARE(errorOf("--folder\n"), config + QStringLiteral(":1: --folder wants DIR"));
    QCOMPARE(errorOf("urls.txt\n"), config + QStringLiteral(":1: not an option: urls.txt"));
    QCOMPARE(errorOf("--config other\n"), config + QStringLiteral(":1: --config cannot stand in a configuration file"));
    // --help answers before the file is read.
    QCOMPARE(BatchCommandLine::parse({"textorin-batch", "--help"}, config).request, BatchCommandLine::Request::Help);
}

void TestBatchCommandLine::configFileIsNamedInConflictsAndReadOnlyWhenRegular()
{
    QTemporaryDir folder;
    const QString config = folder.filePath(QStringLiteral("batch.conf"));
    const auto errorOf = [&](const QByteArray &text, const QStringList &arguments) {
        writeTestFile(config, text);
        return BatchCommandLine::parse(QStringList{"textorin-batch"} + arguments + QStringList{"l"}, config).error;
    };
    QCOMPARE(errorOf("-q\n--report -\n", {"-O", "-"}),
             config + QStringLiteral(":2: -O - and --report - cannot both write to standard output"));
    QCOMPARE(errorOf("--stdout\n", {"--report", "-"}),
             config + QStringLiteral(":1: -O - and --report - cannot both write to standard output"));
    QCOMPARE(errorOf("--user me\n", {}), config + QStringLiteral(":1: --user needs --password-file FILE"));
    QCOMPARE(errorOf("--wait-for main\n", {"--require-selector"}), QString());
    // What the command line gives anew is its own conflict.
    QCOMPARE(errorOf("--user me\n", {"--user", "you"}), QStringLiteral("--user needs --password-file FILE"));
    QCOMPARE(errorOf("--report r.json\n", {"--report", "-", "-O", "-"}),
             QStringLiteral("-O - and --report - cannot both write to standard output"));

    // A FIFO is refused at once, also in the default place.
    const QString fifo = folder.filePath(QStringLiteral("fifo.conf"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString refused = QStringLiteral("cannot read %1: it is not a regular file").arg(fifo);
    QCOMPARE(BatchCommandLine::parse({"textorin-batch", "l"}, fifo).error, refused);
    QCOMPARE(BatchCommandLine::parse({"textorin-batch", "--config", fifo, "l"}).error, refused);
}

QTEST_GUILESS_MAIN(TestBatchCommandLine)
#include "tst_BatchCommandLine.moc"
