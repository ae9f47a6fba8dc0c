#include "batch/BatchCommandLine.h"

#include "batch/BatchConfigFile.h"
#include "batch/BatchHelp.h"
#include "batch/OptionSuggestion.h"
#include "batch/OptionValues.h"
#include "capture/EngineOptionText.h"
#include "capture/NameTemplate.h"
#include "capture/RunOptionText.h"
#include "crawl/CrawlOptionText.h"
#include "crawl/CrawlScope.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

#include <unistd.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

using Request = BatchCommandLine::Request;

using OptionValues::refusal;
using OptionValues::shown;

// Stores a checked value in the field, or refuses the value as not what is wanted.
template <typename T>
QString store(const std::optional<T> &checked, T *field, const QString &value, const QString &wanted)
{
    if (!checked)
        return refusal(wanted, value);
    *field = *checked;
    return {};
}

using Store = BatchCommandLine::Option::Store;

// A switch that turns the field on.
Store turnsOn(bool BatchOptions::*field)
{
    return [field](const QString &, BatchOptions &options) {
        options.*field = true;
        return QString();
    };
}

// An address of rows, as often as given.
Store webSource(WebSource::Kind kind)
{
    return [kind](const QString &value, BatchOptions &options) {
        if (value.trimmed().isEmpty() || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
            return refusal(QStringLiteral("one address"), value);
        // A file here is read as a file: address.
        const QFileInfo file(value);
        options.webSources.append(
            {kind, file.isFile() ? QUrl::fromLocalFile(file.absoluteFilePath()).toString() : value.trimmed()});
        return QString();
    };
}

QString storeName(const QString &value, QString *field, const QString &wanted)
{
    return store(value.isEmpty() ? std::nullopt : std::optional<QString>(value), field, value, wanted);
}

// A file's name, refused when empty.
Store fileName(QString BatchOptions::*field)
{
    return [field](const QString &value, BatchOptions &options) {
        return storeName(value, &(options.*field), QStringLiteral("a file"));
    };
}

// A switch that sets the page option to `value`.
Store setsEngine(bool EngineOptions::*field, bool value = true)
{
    return [field, value](const QString &, BatchOptions &options) {
        options.engine.*field = value;
        return QString();
    };
}

// A page option read by its text form.
Store engineText(QString (*read)(const QString &, EngineOptions &))
{
    return [read](const QString &value, BatchOptions &options) { return read(value, options.engine); };
}

// The name of a file that must be there to be read.
QString readableFile(const QString &value, QString *field)
{
    if (!OptionValues::isReadableFile(value))
        return refusal(QStringLiteral("a readable file"), value);
    *field = value;
    return {};
}

QString storePasswordFile(const QString &value, BatchOptions &options)
{
    const std::optional<QString> password = OptionValues::firstLine(value);
    if (!password)
        return refusal(QStringLiteral("a readable file"), value);
    options.engine.authPassword = *password;
    options.passwordFile = value;
    return {};
}

// Choices that only make sense together, and the options at odds, by long name.
struct Conflict {
    QString problem;
    QStringList options;
};

// The options of a crawl given without -r, or at odds with one.
Conflict crawlProblem(const BatchOptions &options)
{
    if (options.spider && options.toStandardOutput)
        return {QStringLiteral("--spider saves no text: it cannot go with -O -"),
                {QStringLiteral("spider"), QStringLiteral("output-document"), QStringLiteral("stdout")}};
    if (options.recursive && options.shards > 1)
        return {QStringLiteral("--shard cannot split a crawl: its rows are found as it runs"),
                {QStringLiteral("shard"), QStringLiteral("recursive")}};
    if (options.recursive)
        return {};
    const BatchOptions plain;
    const ScopeRules &scope = options.scope;
    const std::pair<bool, const char *> crawlOnly[] = {
        {options.level != plain.level, "level"},
        {options.maxPagesPerHost != plain.maxPagesPerHost, "max-pages-per-host"},
        {options.maxPages != plain.maxPages && options.stateFile.isEmpty(), "max-pages"},
        {scope.noParent, "no-parent"},
        {scope.spanHosts, "span-hosts"},
        {!scope.domains.isEmpty(), "domains"},
        {!scope.acceptRegex.isEmpty(), "accept-regex"},
        {!scope.rejectRegex.isEmpty(), "reject-regex"},
        {!scope.accept.isEmpty(), "accept"},
        {!scope.reject.isEmpty(), "reject"},
        {options.query.ignoreQuery, "ignore-query"},
        {!options.query.ignoredParams.isEmpty(), "ignore-query-param"},
    };
    for (const auto &[given, name] : crawlOnly) {
        if (!given)
            continue;
        QString problem = QStringLiteral("--%1 needs -r (--recursive)").arg(QLatin1String(name));
        // curl's -H and -A are other options here.
        if (qstrcmp(name, "span-hosts") == 0)
            problem += QStringLiteral("; a request header is --header");
        else if (qstrcmp(name, "accept") == 0)
            problem += QStringLiteral("; a user agent is --user-agent");
        return {problem, {QLatin1String(name)}};
    }
    return {};
}

// The options of what changed, given without a state or at odds.
Conflict changeProblem(const BatchOptions &options)
{
    const std::pair<bool, const char *> changeOnly[] = {
        {options.changedOnly, "changed-only"},
        {options.diff, "diff"},
        {options.ignoreWhitespace, "ignore-whitespace"},
        {!options.keepText, "no-keep-text"},
    };
    for (const auto &[given, name] : changeOnly) {
        const QString option = QLatin1String(name);
        if (given && !options.recursive && options.stateFile.isEmpty())
            return {QStringLiteral("--%1 needs a state: -r (--recursive) or --state FILE").arg(option), {option}};
        if (given && options.spider)
            return {QStringLiteral("--%1 has no use with --spider, which saves no text").arg(option),
                    {option, QStringLiteral("spider")}};
    }
    if (options.diff && !options.keepText)
        return {QStringLiteral("--diff needs the earlier text, which --no-keep-text does not keep"),
                {QStringLiteral("diff"), QStringLiteral("no-keep-text")}};
    if (options.diff && options.toStandardOutput && options.format != QLatin1String("json"))
        return {QStringLiteral("--diff writes NAME.diff beside each file: with -O - give --format json"),
                {QStringLiteral("diff"), QStringLiteral("output-document"), QStringLiteral("stdout")}};
    const bool sitemap = std::any_of(options.webSources.begin(), options.webSources.end(),
                                     [](const WebSource &source) { return source.kind == WebSource::Kind::Sitemap; });
    if (options.sitemapChangedSince.isValid() && !sitemap)
        return {QStringLiteral("--sitemap-changed-since needs --sitemap URL"),
                {QStringLiteral("sitemap-changed-since")}};
    return {};
}

// What a crawl or a run with a state file changes in the defaults.
void applyCrawlDefaults(BatchOptions &options)
{
    // Rows may be asked for only if changed; standard output then needs every text unless only changes go.
    options.engine.conditionalLoads = options.tracksChanges() && (!options.toStandardOutput || options.changedOnly);
    if (!options.recursive) {
        // A list with a state file: its rows recorded, no links followed.
        options.level = 0;
        return;
    }
    options.engine.collectLinks = true;
    if (!options.robotsGiven)
        options.robots = true;
    if (!options.hostWaitGiven)
        options.hostWaitMs = CrawlSettings::DefaultWaitMs;
    if (options.maxPagesPerHost < 0)
        options.maxPagesPerHost = int(CrawlSettings::DefaultMaxPagesPerHost);
    // A site mirrored as folders, as wget -r has it.
    if (options.nameTemplate.isEmpty() && !options.toStandardOutput)
        options.nameTemplate = QStringLiteral("{host}/{path}");
}

// The choices that only make sense together, once every option is read.
Conflict combinationProblem(const BatchOptions &options)
{
    if (!options.engine.authUser.isEmpty() && options.passwordFile.isEmpty())
        return {QStringLiteral("--user needs --password-file FILE"), {QStringLiteral("user")}};
    if (!options.passwordFile.isEmpty() && options.engine.authUser.isEmpty())
        return {QStringLiteral("--password-file needs --user NAME"), {QStringLiteral("password-file")}};
    if (options.engine.requireSelector && options.engine.waitForSelector.isEmpty())
        return {QStringLiteral("--require-selector needs --wait-for SELECTOR"), {QStringLiteral("require-selector")}};
    if (options.toStandardOutput && options.report == QLatin1String("-"))
        return {QStringLiteral("-O - and --report - cannot both write to standard output"),
                {QStringLiteral("output-document"), QStringLiteral("stdout"), QStringLiteral("report")}};
    const Conflict change = changeProblem(options);
    return change.problem.isEmpty() ? crawlProblem(options) : change;
}

QString storeShard(const QString &text, BatchOptions &options)
{
    const std::optional<OptionValues::Shard> shard = OptionValues::shard(text);
    if (!shard)
        return refusal(QStringLiteral("K/N with 1 <= K <= N"), text);
    options.shard = shard->shard;
    options.shards = shard->shards;
    return {};
}

QString storeFormat(const QString &name, BatchOptions &options)
{
    return RunOptionText::readFormat(name, options.format, options.engine);
}

QList<BatchCommandLine::Option> makeOptions()
{
    return {
        {{QStringLiteral("u"), QStringLiteral("url")},
         QStringLiteral("URL"),
         QStringLiteral("one address, saved before those of the LISTFILEs; give it as often as needed. "
                        "With -u no LISTFILE is needed."),
         {},
         [](const QString &value, BatchOptions &options) {
             if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
                 return QStringLiteral("wants one address, without line breaks");
             options.addresses.append(value);
             return QString();
         }},
        {{QStringLiteral("i"), QStringLiteral("input-file")},
         QStringLiteral("FILE"),
         QStringLiteral("a list file, read before the LISTFILEs; give it as often as needed."),
         {},
         [](const QString &value, BatchOptions &options) {
             if (value.isEmpty())
                 return refusal(QStringLiteral("a file"), value);
             options.listFiles.append(value);
             return QString();
         }},
        {{QStringLiteral("P"), QStringLiteral("output-dir"), QStringLiteral("folder")},
         QStringLiteral("DIR"),
         QStringLiteral("the destination folder, created with its parents when missing; by default "
                        "the current directory (before version 1.1, the window's stored folder)."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.folderGiven = true;
             return storeName(value, &options.folder, QStringLiteral("a folder"));
         }},
        {{QStringLiteral("timeout")},
         QStringLiteral("SECONDS"),
         QStringLiteral("time for each page's document to arrive (default 60). A page whose document "
                        "is in but whose load never ends is saved as it stands, marked \"load incomplete\"."),
         {},
         engineText(EngineOptionText::readTimeout)},
        {{QStringLiteral("settle")},
         QStringLiteral("SECONDS"),
         QStringLiteral("after the load event, wait until the page has been quiet for 300 ms (no "
                        "requests, no changes), or calm for 20 ms with nothing pending, at most this "
                        "long (default 3; 0 takes the text at the load event)."),
         {},
         engineText(EngineOptionText::readSettle)},
        {{QStringLiteral("window-size")},
         QStringLiteral("WxH"),
         QStringLiteral("the window the pages are laid out in (default 1280x800, each side from 100 "
                        "to 10000)."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::windowSize(value), &options.engine.windowSize, value,
                          QStringLiteral("WIDTHxHEIGHT, such as 1280x800"));
         }},
        {{QStringLiteral("format")},
         QStringLiteral("FORMAT"),
         QStringLiteral("what each file holds:"),
         BatchHelp::formatValues(),
         storeFormat},
        {{QStringLiteral("O"), QStringLiteral("output-document")},
         QStringLiteral("-"),
         QStringLiteral("\"-\" writes each page's text to standard output instead of a file, in "
                        "list order whatever -j; with several rows each text follows a \"==> ADDRESS "
                        "<==\" line and a blank line parts them, and --format json gives one object a "
                        "line. The row lines and the summary go to standard error; --folder and "
                        "--no-clobber are not used."),
         {},
         [](const QString &value, BatchOptions &options) {
             if (value != QLatin1String("-"))
                 return QStringLiteral("wants - (standard output), not \"%1\": files go to --folder").arg(shown(value));
             options.toStandardOutput = true;
             return QString();
         }},
        {{QStringLiteral("stdout")},
         {},
         QStringLiteral("the same as -O -."),
         {},
         turnsOn(&BatchOptions::toStandardOutput)},
        {{QStringLiteral("main-content")},
         {},
         QStringLiteral("only the page's main article, as Readability finds it: its title, then its "
                        "text. A page without one gives its whole body, and the report adds "
                        "\"fallback\": true."),
         {},
         setsEngine(&EngineOptions::mainContent)},
        {{QStringLiteral("wait-for")},
         QStringLiteral("SELECTOR"),
         QStringLiteral("after the load event, waits until an element matching the CSS selector is "
                        "there and laid out, within the --timeout; a page where it never appears is "
                        "saved with its text, marked \"selector not found\"."),
         {},
         engineText(EngineOptionText::readWaitFor)},
        {{QStringLiteral("require-selector")},
         {},
         QStringLiteral("fails a row whose --wait-for selector never appears."),
         {},
         setsEngine(&EngineOptions::requireSelector)},
        {{QStringLiteral("delay")},
         QStringLiteral("SECONDS"),
         QStringLiteral("a fixed pause after the load event, before the settle."),
         {},
         engineText(EngineOptionText::readDelay)},
        {{QStringLiteral("scroll")},
         {},
         QStringLiteral("scrolls each page and its scrolling panes to the bottom, a window's height at "
                        "a time, until it stops growing (at most 20 steps), then back to the top, so "
                        "that sections loaded on scrolling are in the text."),
         {},
         setsEngine(&EngineOptions::scroll)},
        {{QStringLiteral("block")},
         QStringLiteral("LIST"),
         QStringLiteral("refuses the pages' requests for these kinds of resource, a comma-separated "
                        "list of images, media, fonts and stylesheets (default media); \"none\" "
                        "loads everything."),
         {},
         engineText(EngineOptionText::readBlocked)},
        {{QStringLiteral("user-agent")},
         QStringLiteral("TEXT"),
         QStringLiteral("the user agent the browser sends (default the engine's own, as a desktop "
                        "Chrome of the same version)."),
         {},
         engineText(EngineOptionText::readUserAgent)},
        {{QStringLiteral("header")},
         QStringLiteral("'NAME: VALUE'"),
         QStringLiteral("adds a request header to every request to the row's own origin (its scheme, "
                        "host and port; never to another, nor where a redirect leads elsewhere); give it "
                        "as often as needed. Cookie, Host and the headers of the connection "
                        "(Content-Length, Transfer-Encoding, Connection, Upgrade, Expect, …) cannot be set."),
         {},
         engineText(EngineOptionText::readHeader)},
        {{QStringLiteral("lang")},
         QStringLiteral("TAG"),
         QStringLiteral("the language the pages are asked for (Accept-Language and "
                        "navigator.language), such as de-DE; by default that of LANG, else en-US."),
         {},
         engineText(EngineOptionText::readLanguage)},
        {{QStringLiteral("cookies")},
         QStringLiteral("FILE"),
         QStringLiteral("sets the cookies of a Netscape cookies.txt file (as wget, curl and yt-dlp "
                        "read it) of each row's site before the row; malformed lines are named and skipped."),
         {},
         [](const QString &value, BatchOptions &options) { return readableFile(value, &options.cookiesFile); }},
        {{QStringLiteral("save-cookies")},
         QStringLiteral("FILE"),
         QStringLiteral("writes at the end the cookies of --cookies as the rows' pages left them (the "
                        "last row to set a cookie wins), so that a login serves the next run."),
         {},
         fileName(&BatchOptions::saveCookiesFile)},
        {{QStringLiteral("user")},
         QStringLiteral("NAME"),
         QStringLiteral("answers the HTTP authentication of each row's own origin (its scheme, host "
                        "and port) with NAME and the password of --password-file; another origin's "
                        "challenge is named in the row's line and report."),
         {},
         [](const QString &value, BatchOptions &options) {
             return storeName(value, &options.engine.authUser, QStringLiteral("a user name"));
         }},
        {{QStringLiteral("password-file")},
         QStringLiteral("FILE"),
         QStringLiteral("the first line of FILE is the password for --user."),
         {},
         storePasswordFile},
        {{QStringLiteral("proxy")},
         QStringLiteral("URL"),
         QStringLiteral("loads every page through this proxy: http://, https:// or socks5://, with "
                        "user:password@ if it asks. By default the proxy of http_proxy, https_proxy "
                        "or all_proxy, except for the hosts of no_proxy, as curl reads them."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.proxyGiven = true;
             return EngineOptionText::readProxy(value, options.engine);
         }},
        {{QStringLiteral("no-check-certificate")},
         {},
         QStringLiteral("saves pages whose certificate cannot be trusted (by default such a row fails)."),
         {},
         setsEngine(&EngineOptions::checkCertificates, false)},
        {{QStringLiteral("ca-certificate")},
         QStringLiteral("FILE"),
         QStringLiteral("trusts the certificate authority of FILE (PEM) besides the engine's own."),
         {},
         engineText(EngineOptionText::readCaCertificate)},
        {{QStringLiteral("j"), QStringLiteral("jobs")},
         QStringLiteral("N"),
         QStringLiteral("loads up to N pages at once (default 4, at most 32); every row has a browser "
                        "context of its own; rows are printed as they finish, and every outcome, text "
                        "and file name is what -j 1 gives."),
         {},
         [](const QString &value, BatchOptions &options) {
             return RunOptionText::readPagesAtOnce(value, options.jobs);
         }},
        {{QStringLiteral("max-page-memory")},
         QStringLiteral("MIB"),
         QStringLiteral("the most memory a page may use, in MiB (default 1024, from 100 to 1048576): "
                        "a page past it is stopped and its row fails as \"page used too much memory\"."),
         {},
         [](const QString &value, BatchOptions &options) {
             const std::optional<int> mebibytes = OptionValues::count(value, 1'048'576, 100);
             if (!mebibytes)
                 return refusal(QStringLiteral("a whole number from 100 to 1048576"), value);
             options.engine.pageMemoryCap = qint64(*mebibytes) << 20;
             return QString();
         }},
        {{QStringLiteral("tries")},
         QStringLiteral("N"),
         QStringLiteral("up to N loads of a row whose failure may pass (a reset connection, a "
                        "time-out, HTTP 408, 429, 502, 503, 504), pausing 1 s and doubling up to 30 s, "
                        "or as the server's Retry-After asks (up to 60 s); default 1, at most 100. "
                        "HTTP 404 and unknown hosts are never retried. A row whose page was lost when the "
                        "engine restarted for another page is loaded once more besides."),
         {},
         [](const QString &value, BatchOptions &options) { return RunOptionText::readTries(value, options.tries); }},
        {{QStringLiteral("wait")},
         QStringLiteral("SECONDS"),
         QStringLiteral("at least this long between two loads of the same host, across the whole list, "
                        "counted from when the earlier one asked for its page (default 0; 0.1 in a crawl)."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.hostWaitGiven = true;
             return RunOptionText::readHostWait(value, options.hostWaitMs);
         }},
        {{QStringLiteral("no-clobber")},
         {},
         QStringLiteral("skips (and counts as skipped) a row whose file exists already."),
         {},
         turnsOn(&BatchOptions::noClobber)},
        {{QStringLiteral("archive")},
         QStringLiteral("FILE"),
         QStringLiteral("appends \"address<TAB>file name\" for every saved row; rows whose address "
                        "FILE lists are skipped and its names stay taken, so a stopped run resumes "
                        "where it stopped."),
         {},
         fileName(&BatchOptions::archive)},
        {{QStringLiteral("report")},
         QStringLiteral("FILE"),
         QStringLiteral(
             "writes one JSON object per row as it finishes (JSON Lines), with row, "
             "address, outcome (saved, failed, skipped), file, bytes, http_status, "
             "content_type, reason, ms, tries, final_url, title, started (ISO 8601 with the offset), folder and "
             "note; \"-\" writes them to standard output, and the row lines and "
             "summary go to standard error."),
         {},
         fileName(&BatchOptions::report)},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("TEMPLATE"),
         QStringLiteral(
             "names each file from the fields of its address instead of the fixed rule: "
             "{host}, {port}, {path} (its slashes make folders inside DIR; a path ending in "
             "/ gives \"index\"), {query}, {row} (the row's number in the list), {hash} (10 "
             "hex digits of the address's SHA-256) and {ext} (the format's extension, added "
             "at the end when the template has none and does not end with it). A slash in another field, NUL and "
             "\\ * : ? < > | become _; each part is cut to 255 bytes with a hash; colliding "
             "names are numbered. A row whose name would hold a \".\" or \"..\" folder fails."),
         {},
         [](const QString &value, BatchOptions &options) {
             const QString problem = NameTemplate::problem(value);
             if (!problem.isEmpty())
                 return problem;
             options.nameTemplate = value;
             return QString();
         }},
        {{QStringLiteral("restrict-filenames")},
         {},
         QStringLiteral("makes the names ASCII without blanks or shell-special characters: the fixed rule's "
                        "names and the fields of -o TEMPLATE. Accented letters lose their accent, other "
                        "characters outside ASCII, blanks and !\"#$&'()*;<>?[\\]`{|}~ become _, and a run of _ "
                        "is one."),
         {},
         turnsOn(&BatchOptions::restrictFilenames)},
        {{QStringLiteral("retry-failed")},
         QStringLiteral("REPORT"),
         QStringLiteral("runs again the rows that REPORT (an earlier run's --report) gives as failed or stopped, "
                        "before any other rows, under the names they had: a recorded file, else the name the "
                        "template or fixed rule gives with {row} the recorded row number."),
         {},
         fileName(&BatchOptions::retryFailed)},
        {{QStringLiteral("sitemap")},
         QStringLiteral("URL"),
         QStringLiteral("adds the addresses of a sitemap (an address, or a file; sitemap indexes "
                        "followed, gzipped ones read) as rows after those of the LISTFILEs, in the order given with "
                        "--feed; give it as often as needed. At "
                        "most 50000 rows are taken from each sitemap file, as the protocol allows. "
                        "Sitemaps are fetched by the engine with the options of the pages; one that "
                        "cannot be read ends the run (exit status 2)."),
         {},
         webSource(WebSource::Kind::Sitemap)},
        {{QStringLiteral("feed")},
         QStringLiteral("URL"),
         QStringLiteral("adds the links of an RSS or Atom feed as rows after those of the LISTFILEs, "
                        "in the order given with --sitemap; give it as often as needed."),
         {},
         webSource(WebSource::Kind::Feed)},
        {{QStringLiteral("r"), QStringLiteral("recursive")},
         {},
         QStringLiteral("follows links: after a page is saved, its links within the scope (by default "
                        "the start address's host) are added as rows, each address once. The rows of -u, the "
                        "LISTFILEs, sitemaps and feeds are the start addresses. The crawl's state is kept in "
                        ".textorin-crawl.sqlite in the folder (or --state FILE): run the same command again and "
                        "it goes on where it stopped, or, once it has ended, runs it again. Files are named "
                        "{host}/{path} unless -o says otherwise; "
                        "--wait defaults to 0.1 and --robots is on."),
         {},
         turnsOn(&BatchOptions::recursive)},
        {{QStringLiteral("l"), QStringLiteral("level")},
         QStringLiteral("N"),
         QStringLiteral("follows links at most N steps from the start addresses (default 5; 0 or inf: no "
                        "limit)."),
         {},
         [](const QString &value, BatchOptions &options) { return CrawlOptionText::readLevel(value, options.level); }},
        {{QStringLiteral("max-pages")},
         QStringLiteral("N"),
         QStringLiteral("ends the crawl once N pages are loaded (counting those loaded before a stop "
                        "that this run resumes); the summary says so."),
         {},
         [](const QString &value, BatchOptions &options) {
             return CrawlOptionText::readMaxPages(value, options.maxPages);
         }},
        {{QStringLiteral("max-pages-per-host")},
         QStringLiteral("N"),
         QStringLiteral("loads at most N pages of each host (default 50000 in a crawl; 0: no limit): "
                        "what bounds an endless calendar."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::count(value, std::numeric_limits<int>::max(), 0), &options.maxPagesPerHost,
                          value, QStringLiteral("a whole number"));
         }},
        {{QStringLiteral("time-limit")},
         QStringLiteral("DURATION"),
         QStringLiteral("starts no row after DURATION (such as 90s, 30m, 2h; seconds without a unit); the "
                        "rows loading end as they would, and a crawl resumed later goes on from there."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::duration(value), &options.timeLimitMs, value,
                          QStringLiteral("a duration such as 90s, 30m or 2h"));
         }},
        {{QStringLiteral("no-parent")},
         {},
         QStringLiteral("keeps to the start address's folder and below (-np as wget has it)."),
         {},
         [](const QString &, BatchOptions &options) {
             options.scope.noParent = true;
             return QString();
         }},
        {{QStringLiteral("H"), QStringLiteral("span-hosts")},
         {},
         QStringLiteral("follows links to other hosts: those of -D, else any host."),
         {},
         [](const QString &, BatchOptions &options) {
             options.scope.spanHosts = true;
             return QString();
         }},
        {{QStringLiteral("D"), QStringLiteral("domains")},
         QStringLiteral("LIST"),
         QStringLiteral("with -H, the domains whose hosts are followed (comma-separated; a domain "
                        "takes its subdomains)."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::list(value.toLower()), &options.scope.domains, value,
                          QStringLiteral("domains parted by commas"));
         }},
        {{QStringLiteral("accept-regex")},
         QStringLiteral("REGEX"),
         QStringLiteral("follows only addresses the regular expression matches, anywhere in the whole "
                        "normalised address (scheme, host, path and query)."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.scope.acceptRegex = value;
             return CrawlScope::regexProblem(value);
         }},
        {{QStringLiteral("reject-regex")},
         QStringLiteral("REGEX"),
         QStringLiteral("follows no address the regular expression matches, as --accept-regex reads it."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.scope.rejectRegex = value;
             return CrawlScope::regexProblem(value);
         }},
        {{QStringLiteral("A"), QStringLiteral("accept")},
         QStringLiteral("LIST"),
         QStringLiteral("follows only addresses whose file name ends with a suffix of the list (pdf,.txt) "
                        "or matches a pattern (*draft*); pages (no suffix, .html, .php, …) are still "
                        "followed. Images, media, fonts, archives and programs are never loaded unless "
                        "named here."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::list(value), &options.scope.accept, value,
                          QStringLiteral("suffixes or patterns parted by commas"));
         }},
        {{QStringLiteral("R"), QStringLiteral("reject")},
         QStringLiteral("LIST"),
         QStringLiteral("follows no address whose file name ends with a suffix of the list or matches a "
                        "pattern."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::list(value), &options.scope.reject, value,
                          QStringLiteral("suffixes or patterns parted by commas"));
         }},
        {{QStringLiteral("ignore-query")},
         {},
         QStringLiteral("an address's query is dropped before it is compared and loaded: ?a=1 and ?a=2 "
                        "are one page."),
         {},
         [](const QString &, BatchOptions &options) {
             options.query.ignoreQuery = true;
             return QString();
         }},
        {{QStringLiteral("ignore-query-param")},
         QStringLiteral("NAME"),
         QStringLiteral("drops the query parameter NAME (a pattern such as utm_* allowed) before an "
                        "address is compared and loaded; give it as often as needed."),
         {},
         [](const QString &value, BatchOptions &options) {
             if (value.trimmed().isEmpty())
                 return refusal(QStringLiteral("a parameter name"), value);
             options.query.ignoredParams << value.trimmed();
             return QString();
         }},
        {{QStringLiteral("spider")},
         {},
         QStringLiteral("a crawl (-r) that saves no file: each address found is printed on standard output "
                        "with its depth (ADDRESS, a tab, DEPTH); the pages of the last level are listed, "
                        "not loaded."),
         {},
         [](const QString &, BatchOptions &options) {
             options.spider = options.recursive = true;
             return QString();
         }},
        {{QStringLiteral("state")},
         QStringLiteral("FILE"),
         QStringLiteral("keeps the crawl's state in FILE (SQLite) instead of .textorin-crawl.sqlite in the "
                        "folder. A list run given --state records its rows the same way. A run that stopped "
                        "is resumed, loading none saved before; once a run has ended, the next runs it again, "
                        "loading a page whose file is as written only if it changed, and tells each row's "
                        "change (new, same, changed or gone). A file held by a run going on, damaged, or of "
                        "another crawl (other start addresses or scope) is refused."),
         {},
         fileName(&BatchOptions::stateFile)},
        {{QStringLiteral("new-state")},
         {},
         QStringLiteral("starts the crawl afresh in a state file of an earlier or another crawl."),
         {},
         turnsOn(&BatchOptions::newState)},
        {{QStringLiteral("changed-only")},
         {},
         QStringLiteral("writes files only for new and changed pages: the file of a page that is the same "
                        "as at the last run is left untouched, its modification time too (needs a state: -r or "
                        "--state)."),
         {},
         turnsOn(&BatchOptions::changedOnly)},
        {{QStringLiteral("diff")},
         {},
         QStringLiteral("writes beside each changed page's file NAME a unified diff of its last and its new "
                        "text, NAME.diff (with --format json, the record's \"diff\"); the diff of an earlier run "
                        "goes once the page is the same again."),
         {},
         turnsOn(&BatchOptions::diff)},
        {{QStringLiteral("ignore-whitespace")},
         {},
         QStringLiteral("compares texts with their whitespace collapsed, so that re-wrapped lines are the "
                        "same page."),
         {},
         turnsOn(&BatchOptions::ignoreWhitespace)},
        {{QStringLiteral("no-keep-text")},
         {},
         QStringLiteral("keeps only hashes of the texts in the state, not the texts themselves (for huge "
                        "runs; no --diff)."),
         {},
         [](const QString &, BatchOptions &options) {
             options.keepText = false;
             return QString();
         }},
        {{QStringLiteral("sitemap-changed-since")},
         QStringLiteral("DATE"),
         QStringLiteral("takes only the sitemap rows whose lastmod is DATE or later (such as 2026-12-01 or "
                        "2026-12-01T08:00+01:00; UTC unless it names an offset); rows without lastmod are "
                        "taken."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::instant(value), &options.sitemapChangedSince, value,
                          QStringLiteral("a date such as 2026-12-01 or 2026-12-01T08:00Z"));
         }},
        {{QStringLiteral("robots")},
         {},
         QStringLiteral("follows each site's robots.txt, fetched once by the engine: rows it "
                        "disallows for textorin (or for *) are skipped as \"robots.txt\", as are rows redirected to "
                        "an address the robots.txt of its site disallows, and its "
                        "Crawl-delay (up to 30 s) lengthens --wait for its host. A robots.txt that "
                        "answers 4xx allows everything; one that answers 5xx, or no answer, skips the "
                        "host's rows. Off by default for a list; on in a crawl, where it also keeps to "
                        "<meta name=\"robots\" content=\"nofollow\"> and rel=\"nofollow\" links. "
                        "\"--robots off\" turns it off."),
         {},
         [](const QString &, BatchOptions &options) {
             options.robots = options.robotsGiven = true;
             return QString();
         }},
        {{QStringLiteral("no-robots")},
         {},
         QStringLiteral("the same as --robots off."),
         {},
         [](const QString &, BatchOptions &options) {
             options.robots = false;
             options.robotsGiven = true;
             return QString();
         }},
        {{QStringLiteral("shard")},
         QStringLiteral("K/N"),
         QStringLiteral("takes only the rows whose output name (before any numbering) falls in shard "
                        "K of N: the first 8 bytes of its SHA-256 as a number, modulo N, equal to K-1. "
                        "N machines with K = 1..N share a list with no overlap and no gap; colliding "
                        "names land on the same shard."),
         {},
         storeShard},
        {{QStringLiteral("q"), QStringLiteral("quiet")},
         {},
         QStringLiteral("prints only failed rows and the summary."),
         {},
         turnsOn(&BatchOptions::quiet)},
        {{QStringLiteral("v"), QStringLiteral("verbose")},
         {},
         QStringLiteral("prints, for each load, its HTTP status, final address, content type and "
                        "redirects, and its timeline (the page made ready, the answer, parsing, the "
                        "load event, the settle, the text, the write) with their sums at the end; a "
                        "common failure gets a hint to the option that may help."),
         {},
         turnsOn(&BatchOptions::verbose)},
        {{QStringLiteral("engine-log")},
         QStringLiteral("FILE"),
         QStringLiteral("appends the browser engine's own diagnostics to FILE (as TEXTORIN_ENGINE_LOG=FILE "
                        "does); without either they are discarded."),
         {},
         fileName(&BatchOptions::engineLog)},
        {{QStringLiteral("config")},
         QStringLiteral("FILE"),
         QStringLiteral("reads the options of FILE instead of ~/.config/textorin/batch.conf "
                        "($XDG_CONFIG_HOME/textorin/batch.conf when set)."),
         {},
         {}},
        {{QStringLiteral("no-config")}, {}, QStringLiteral("reads no configuration file."), {}, {}},
        {{QStringLiteral("version")}, {}, QStringLiteral("prints the version."), {}, {}, Request::Version},
        {{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("shows this text."), {}, {}, Request::Help},
    };
}

const BatchCommandLine::Option *optionNamed(const QString &name)
{
    for (const BatchCommandLine::Option &option : BatchCommandLine::options()) {
        if (option.names.contains(name))
            return &option;
    }
    return nullptr;
}

// "--name" or "-n", as the option is written.
QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// An unknown option, with the known one it most likely stands for.
QString unknownOption(const QString &name)
{
    QStringList known;
    for (const BatchCommandLine::Option &option : BatchCommandLine::options()) {
        for (const QString &each : option.names) {
            if (each.size() > 1)
                known << each;
        }
    }
    QString closest = OptionSuggestion::ofNeighbouringTool(dashed(name));
    if (closest.isEmpty() && name.size() > 1) {
        closest = OptionSuggestion::closest(name, known);
        if (!closest.isEmpty())
            closest.prepend(QLatin1String("--"));
    }
    QString error = QStringLiteral("unknown option '%1'").arg(dashed(name));
    if (!closest.isEmpty())
        error += QStringLiteral(". Did you mean '%1'?").arg(closest);
    return error;
}

// "--robots on" or "off" as the switch it means, or empty for another value.
QString robotsSwitch(const QString &value)
{
    if (value == QLatin1String("on"))
        return QStringLiteral("--robots");
    if (value == QLatin1String("off"))
        return QStringLiteral("--no-robots");
    return {};
}

// wget's forms the parser cannot read as they are: -np, -nc, --robots on|off and -e robots=on|off.
QStringList wgetForms(const QStringList &arguments)
{
    QStringList read;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString next = arguments.value(i + 1);
        if (argument == QLatin1String("--")) {
            read << arguments.mid(i);
            break;
        }
        if (argument == QLatin1String("-np")) {
            read << QStringLiteral("--no-parent");
        } else if (argument == QLatin1String("-nc")) {
            read << QStringLiteral("--no-clobber");
        } else if (argument.startsWith(QLatin1String("--robots=")) && !robotsSwitch(argument.mid(9)).isEmpty()) {
            read << robotsSwitch(argument.mid(9));
        } else if (argument == QLatin1String("--robots") && !robotsSwitch(next).isEmpty()) {
            read << robotsSwitch(next);
            ++i;
        } else if (argument == QLatin1String("-e") && next.startsWith(QLatin1String("robots="))
                   && !robotsSwitch(next.mid(7)).isEmpty()) {
            read << robotsSwitch(next.mid(7));
            ++i;
        } else {
            read << argument;
        }
    }
    return read;
}

// An argument with a scheme is an address, as wget and curl take it, unless a file has that name.
bool isAddressArgument(const QString &argument)
{
    static const QRegularExpression scheme(QStringLiteral("^(https?|file):"),
                                           QRegularExpression::CaseInsensitiveOption);
    return scheme.match(argument).hasMatch() && !QFileInfo::exists(argument);
}

// Reads the options' names and values into the parser; false with the usage error.
bool parseNames(QCommandLineParser &parser, const QStringList &arguments, QString *error)
{
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const BatchCommandLine::Option &option : BatchCommandLine::options())
        parser.addOption(QCommandLineOption(option.names, option.description, option.valueName));
    if (parser.parse(wgetForms(arguments)))
        return true;
    const QStringList unknown = parser.unknownOptionNames();
    *error = unknown.isEmpty() ? parser.errorText() : unknownOption(unknown.front());
    return false;
}

// Whether the configuration line's header is one the command line gives anew.
bool headerGivenAgain(const QString &value, const QStringList &commandLineHeaders)
{
    const QString name = value.section(QLatin1Char(':'), 0, 0).trimmed();
    return std::any_of(commandLineHeaders.begin(), commandLineHeaders.end(), [&](const QString &header) {
        return header.section(QLatin1Char(':'), 0, 0).trimmed().compare(name, Qt::CaseInsensitive) == 0;
    });
}

// The options of the configuration file as arguments, each line checked as the
// command line's options are; false with the problem, named by file and line.
bool configArguments(const QString &path, bool required, const QCommandLineParser &commandLine, QStringList *arguments,
                     QHash<QString, int> *lines, QString *error)
{
    BatchConfigFile file;
    if (!file.read(path, required, error))
        return false;
    const QStringList headers = commandLine.values(QStringLiteral("header"));
    for (BatchConfigFile::Entry entry : file.entries()) {
        // "robots = off" is the switch it means.
        if (entry.name == QLatin1String("robots") && entry.hasValue && !robotsSwitch(entry.value).isEmpty()) {
            entry.name = robotsSwitch(entry.value).mid(2);
            entry.hasValue = false;
        }
        const auto fail = [&](const QString &problem) {
            *error = QStringLiteral("%1:%2: %3").arg(path).arg(entry.line).arg(problem);
            return false;
        };
        const BatchCommandLine::Option *option = optionNamed(entry.name);
        if (!option)
            return fail(unknownOption(entry.name));
        const QString name = option->names.last();
        if (!option->store)
            return fail(QStringLiteral("--%1 cannot stand in a configuration file").arg(name));
        if (option->valueName.isEmpty() && entry.hasValue)
            return fail(QStringLiteral("--%1 takes no value").arg(name));
        if (!option->valueName.isEmpty() && !entry.hasValue)
            return fail(QStringLiteral("--%1 wants %2").arg(name, option->valueName));
        BatchOptions scratch;
        const QString problem = option->store(entry.value, scratch);
        if (!problem.isEmpty())
            return fail(QStringLiteral("--%1 %2").arg(name, problem));
        if (name == QLatin1String("header") && headerGivenAgain(entry.value, headers))
            continue;
        *arguments << (entry.hasValue ? QStringLiteral("--%1=%2").arg(name, entry.value) : QStringLiteral("--") + name);
        lines->insert(name, entry.line);
    }
    return true;
}

} // namespace

const QList<BatchCommandLine::Option> &BatchCommandLine::options()
{
    static const QList<Option> table = makeOptions();
    return table;
}

BatchCommandLine::Parsed BatchCommandLine::parse(const QStringList &arguments, const QString &configFile)
{
    Parsed parsed;
    QCommandLineParser commandLine;
    if (!parseNames(commandLine, arguments, &parsed.error))
        return parsed;
    // --help and --version answer whatever else is given.
    for (const Option &option : options()) {
        if (option.request != Request::Run && commandLine.isSet(option.names.last())) {
            parsed.request = option.request;
            return parsed;
        }
    }
    QStringList fromFile;
    QString file;
    QHash<QString, int> fileLines; // of the file's options, by long name
    if (!commandLine.isSet(QStringLiteral("no-config"))) {
        const bool named = commandLine.isSet(QStringLiteral("config"));
        file = named ? commandLine.value(QStringLiteral("config")) : configFile;
        if (!file.isEmpty() && !configArguments(file, named, commandLine, &fromFile, &fileLines, &parsed.error))
            return parsed;
    }
    // The file's options go first, so that the command line's come last and win.
    QCommandLineParser parser;
    if (!parseNames(parser, arguments.mid(0, 1) + fromFile + arguments.mid(1), &parsed.error))
        return parsed;
    // In the order given, so that the rows of --sitemap and --feed keep it.
    QHash<const Option *, qsizetype> valuesTaken;
    for (const QString &given : parser.optionNames()) {
        const Option *option = optionNamed(given);
        if (!option || !option->store)
            continue;
        const QString name = option->names.last();
        const QString value =
            option->valueName.isEmpty() ? QString() : parser.values(name).value(valuesTaken[option]++);
        const QString problem = option->store(value, parsed.options);
        if (!problem.isEmpty()) {
            parsed.error = QStringLiteral("--%1 %2").arg(name, problem);
            return parsed;
        }
    }
    const Conflict conflict = combinationProblem(parsed.options);
    parsed.error = conflict.problem;
    // An option of the file at odds is named by its line, unless the command line gives it anew.
    for (const QString &name : conflict.options) {
        if (fileLines.contains(name) && !commandLine.isSet(name)) {
            parsed.error = QStringLiteral("%1:%2: %3").arg(file).arg(fileLines.value(name)).arg(conflict.problem);
            break;
        }
    }
    if (parsed.error.isEmpty() && !parsed.options.proxyGiven)
        parsed.error =
            EngineOptionText::readProxyEnvironment(QProcessEnvironment::systemEnvironment(), parsed.options.engine);
    if (!parsed.error.isEmpty())
        return parsed;
    for (const QString &argument : parser.positionalArguments()) {
        if (isAddressArgument(argument))
            parsed.options.addresses.append(argument);
        else
            parsed.options.listFiles.append(argument);
    }
    if (parsed.options.recursive || !parsed.options.stateFile.isEmpty())
        applyCrawlDefaults(parsed.options);
    if (parsed.options.listFiles.isEmpty() && parsed.options.addresses.isEmpty() && parsed.options.webSources.isEmpty()
        && parsed.options.retryFailed.isEmpty()) {
        parsed.error = QStringLiteral("missing LISTFILE, URL or -u URL");
        if (!::isatty(STDIN_FILENO))
            parsed.error += QStringLiteral(" (a list on standard input is read with -)");
    }
    return parsed;
}

QString BatchCommandLine::help(const QString &program)
{
    return BatchHelp::text(program, options());
}

QString BatchCommandLine::usageError(const QString &program, const QString &error)
{
    return QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(program, error);
}
