#include "batch/BatchCommandLine.h"

#include "batch/BatchConfigFile.h"
#include "batch/BatchHelp.h"
#include "batch/OptionSuggestion.h"
#include "batch/OptionValues.h"
#include "capture/EngineOptionText.h"
#include "capture/NameTemplate.h"
#include "capture/OutputFormat.h"
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

QString readRules(const QString &value, BatchOptions &options)
{
    QString problem;
    if (!options.rules.read(value, &problem))
        return problem;
    options.rulesFile = value;
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
    if (options.engine.requireSelector && options.engine.waitForSelector.isEmpty()
        && options.engine.selectParts.isEmpty())
        return {QStringLiteral("--require-selector needs --wait-for SELECTOR or --select CSS"),
                {QStringLiteral("require-selector")}};
    if (options.toStandardOutput && options.report == QLatin1String("-"))
        return {QStringLiteral("-O - and --report - cannot both write to standard output"),
                {QStringLiteral("output-document"), QStringLiteral("stdout"), QStringLiteral("report")}};
    const OutputFormat *format = OutputFormat::named(options.format);
    if (options.frontMatter && (!format || format->form != EngineOptions::PageForm::Markdown))
        return {QStringLiteral("--front-matter heads Markdown files: give --format markdown"),
                {QStringLiteral("front-matter"), QStringLiteral("format")}};
    if (options.jsonLines && options.rules.setsFormat())
        return {QStringLiteral("--format jsonl keeps every record in one format: the rules file %1 sets format")
                    .arg(options.rulesFile),
                {QStringLiteral("format"), QStringLiteral("rules")}};
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
    // jsonl: the json records, all in one file.
    options.jsonLines = name == QLatin1String("jsonl");
    return RunOptionText::readFormat(options.jsonLines ? QStringLiteral("json") : name, options.format, options.engine);
}

QList<BatchCommandLine::Option> makeOptions()
{
    return {
        {{QStringLiteral("u"), QStringLiteral("url")},
         QStringLiteral("URL"),
         QStringLiteral("one address, saved before those of the LISTFILEs; give it as often as needed. With -u no "
                        "LISTFILE is needed."),
         {},
         [](const QString &value, BatchOptions &options) {
             if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
                 return QStringLiteral("wants one address, without line breaks");
             options.addresses.append(value);
             return QString();
         }},
        {{QStringLiteral("i"), QStringLiteral("input-file")},
         QStringLiteral("FILE"),
         QStringLiteral("a list file like a LISTFILE, read before the LISTFILEs; give it as often as needed."),
         {},
         [](const QString &value, BatchOptions &options) {
             if (value.isEmpty())
                 return refusal(QStringLiteral("a file"), value);
             options.listFiles.append(value);
             return QString();
         }},
        {{QStringLiteral("P"), QStringLiteral("output-dir"), QStringLiteral("folder")},
         QStringLiteral("DIR"),
         QStringLiteral(
             "the destination folder, created with its parents when missing; by default the current directory "
             "(before version 1.1, the folder the window uses, its stored Download Location). A folder that "
             "cannot be made is named with the system's reason, as in \"textorin-batch: cannot create folder "
             "/proc/x: No such file or directory\", and nothing runs."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.folderGiven = true;
             return storeName(value, &options.folder, QStringLiteral("a folder"));
         }},
        {{QStringLiteral("timeout")},
         QStringLiteral("SECONDS"),
         QStringLiteral(
             "the time for each page's document to arrive (default 60). A page whose document is in but whose "
             "load never ends is saved as it stands, marked \"load incomplete\"."),
         {},
         engineText(EngineOptionText::readTimeout)},
        {{QStringLiteral("settle")},
         QStringLiteral("SECONDS"),
         QStringLiteral(
             "after the load event, wait until the page has been quiet for 300 ms (no requests, no changes to "
             "the document), or calm for 20 ms with nothing pending (no timers, requests or animation frames "
             "to come), at most this long (default 3; 0 takes the text at the load event)."),
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
        {{QStringLiteral("front-matter")},
         {},
         QStringLiteral("heads each Markdown file (--format markdown) with a YAML header between \"---\" lines: the "
                        "fields of --format json that the page states (title, author, published, modified, "
                        "description, site_name, canonical, lang), then word_count and text_sha256 of the text "
                        "after it; strings double-quoted. With another format it is a usage error."),
         {},
         turnsOn(&BatchOptions::frontMatter)},
        {{QStringLiteral("O"), QStringLiteral("output-document")},
         QStringLiteral("-"),
         QStringLiteral(
             "\"-\" writes each page's text to standard output instead of a file, in list order whatever -j: "
             "a page that ends early waits only for the rows before it. With more than one row, each text "
             "follows a line \"==> ADDRESS <==\" and a blank line parts one text from the next, as head(1) "
             "and tail(1) show files (a PDF's pages keep their form feeds); with --format json (or jsonl) each row "
             "is one JSON object on one line, without those lines. Each text ends its line (a newline is added "
             "when the page's text has none; files hold the text as it is). The row lines and the summary go "
             "to standard error; --folder and --no-clobber are not used, and the report's file is null. -O - with "
             "--report - is a usage error. When nobody reads standard output any more (as after | head -1) "
             "the run ends at once with status 141."),
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
         QStringLiteral(
             "only the page's main article: the element Mozilla's Readability picks, widened while its parent "
             "adds content and kept whole, else the page's main landmark (<main>, role=main, a single "
             "<article>): its title, then its text; with --format, the article in that format. A page without "
             "an article gives its whole body, and its report record adds \"fallback\": true."),
         {},
         setsEngine(&EngineOptions::mainContent)},
        {{QStringLiteral("wait-for")},
         QStringLiteral("SELECTOR"),
         QStringLiteral("after the load event, waits until an element matching the CSS SELECTOR is there and laid out, "
                        "within the --timeout. A page where it never appears is saved with its text, marked \"selector "
                        "not found\". A selector that is not valid CSS is a usage error."),
         {},
         engineText(EngineOptionText::readWaitFor)},
        {{QStringLiteral("require-selector")},
         {},
         QStringLiteral("fails a row whose --wait-for selector never appears, or where --select matches nothing "
                        "(\"selector matched nothing\")."),
         {},
         setsEngine(&EngineOptions::requireSelector)},
        {{QStringLiteral("select")},
         QStringLiteral("CSS"),
         QStringLiteral("keeps only the elements matching the CSS selector, in document order, each once (a match "
                        "inside another is not repeated), in every format and with --main-content. The text format "
                        "gives the rendered text of each, a blank line between them. A page where it matches "
                        "nothing is saved whole and its report record has \"select\": \"no match\". A selector "
                        "that is not valid CSS is a usage error."),
         {},
         engineText(EngineOptionText::readSelect)},
        {{QStringLiteral("remove")},
         QStringLiteral("CSS"),
         QStringLiteral("drops the elements matching the CSS selector before any format is made (with --select, "
                        "before it chooses). A selector that is not valid CSS is a usage error."),
         {},
         engineText(EngineOptionText::readRemove)},
        {{QStringLiteral("rules")},
         QStringLiteral("FILE"),
         QStringLiteral("sets page options per address pattern: a section \"[PATTERN]\" (a glob over the whole "
                        "address, * and ? matching any characters, or \"[re:REGEX]\" found anywhere in it), then "
                        "KEY = VALUE lines, each key an option of the same name and value: select, remove, "
                        "main-content (true or false), format, wait-for, delay, scroll (true or false), block, "
                        "user-agent, header (repeatable; a rule's headers replace the run's), cookies (a file, "
                        "beside the rules file unless absolute), timeout, tries, wait. The first section whose "
                        "pattern matches a row's address is its rule; its values replace the run's, and the "
                        "report's records name it (\"rule\"). Lines starting with # are comments. An unknown key, "
                        "a bad pattern or a bad value is a usage error naming the file and line."),
         {},
         [](const QString &value, BatchOptions &options) { return readRules(value, options); }},
        {{QStringLiteral("delay")},
         QStringLiteral("SECONDS"),
         QStringLiteral("a fixed pause after the load event, before the settle."),
         {},
         engineText(EngineOptionText::readDelay)},
        {{QStringLiteral("scroll")},
         {},
         QStringLiteral(
             "scrolls each page and its scrolling panes to the bottom, a window's height at a time and 100 ms "
             "apart, until it stops growing (at most 20 steps), then back to the top, before the settle; "
             "sections a page loads as they are scrolled to are then in the text."),
         {},
         setsEngine(&EngineOptions::scroll)},
        {{QStringLiteral("block")},
         QStringLiteral("LIST"),
         QStringLiteral("refuses the pages' requests for these kinds of resource: a comma-separated list of images, "
                        "media, fonts and stylesheets (default media); \"none\" loads everything. The favicon is never "
                        "fetched."),
         {},
         engineText(EngineOptionText::readBlocked)},
        {{QStringLiteral("user-agent")},
         QStringLiteral("TEXT"),
         QStringLiteral("the user agent the browser sends. By default it is the engine's own, written as a desktop "
                        "Chrome of the same version, with matching client hints."),
         {},
         engineText(EngineOptionText::readUserAgent)},
        {{QStringLiteral("header")},
         QStringLiteral("'NAME: VALUE'"),
         QStringLiteral(
             "adds a request header to every request to the row's own origin (its scheme, host and port), "
             "never to another, nor where a redirect leads elsewhere; give it as often as needed. Cookie, "
             "Host and the headers of the connection (Content-Length, Transfer-Encoding, Connection, Upgrade, "
             "Expect, Keep-Alive, TE, Trailer, Proxy-Connection) cannot be set."),
         {},
         engineText(EngineOptionText::readHeader)},
        {{QStringLiteral("lang")},
         QStringLiteral("TAG"),
         QStringLiteral(
             "the language the pages are asked for, such as de-DE: Accept-Language and navigator.language. By "
             "default the language of LANG, else en-US."),
         {},
         engineText(EngineOptionText::readLanguage)},
        {{QStringLiteral("cookies")},
         QStringLiteral("FILE"),
         QStringLiteral(
             "sets the cookies of FILE, a Netscape cookies.txt file as wget, curl and yt-dlp read it: before "
             "each row, those of the row's site (#HttpOnly_ lines are cookies). Malformed lines are named "
             "with their line number and skipped, as are the cookies of a site past the 180 the engine keeps "
             "for one; an expiry past 64 bits is taken as the farthest, as curl takes it; a missing file, or "
             "one over 64 MiB, is a usage error."),
         {},
         [](const QString &value, BatchOptions &options) { return readableFile(value, &options.cookiesFile); }},
        {{QStringLiteral("save-cookies")},
         QStringLiteral("FILE"),
         QStringLiteral(
             "writes at the end the cookies of --cookies as the rows' pages left them, in the same format; "
             "the last row to set a cookie of a name, domain and path wins. A login made once serves the next "
             "run. The file is readable by its owner alone (mode 0600), also when it replaces one; a symbolic "
             "link at FILE is an error, never written through."),
         {},
         fileName(&BatchOptions::saveCookiesFile)},
        {{QStringLiteral("user")},
         QStringLiteral("NAME"),
         QStringLiteral(
             "answers the HTTP authentication of each row's own origin (its scheme, host and port) with NAME "
             "and the password of --password-file. A challenge of another origin (another host or port, or "
             "plain http where the row was https) is not answered, and the row's line and report say so."),
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
         QStringLiteral(
             "loads every page through this proxy: http://, https:// or socks5://, with user:password@ when "
             "it asks for them. Without it the proxy of http_proxy, https_proxy (or HTTPS_PROXY) or all_proxy "
             "is used, except for the hosts of no_proxy, as curl reads them."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.proxyGiven = true;
             return EngineOptionText::readProxy(value, options.engine);
         }},
        {{QStringLiteral("no-check-certificate")},
         {},
         QStringLiteral("saves pages whose certificate cannot be trusted; by default such a row fails."),
         {},
         setsEngine(&EngineOptions::checkCertificates, false)},
        {{QStringLiteral("ca-certificate")},
         QStringLiteral("FILE"),
         QStringLiteral("trusts the certificate authority of FILE (PEM) besides the engine's own."),
         {},
         engineText(EngineOptionText::readCaCertificate)},
        {{QStringLiteral("j"), QStringLiteral("jobs")},
         QStringLiteral("N"),
         QStringLiteral(
             "loads up to N pages at once (default 4, at most 32), all in one engine; every row has a browser "
             "context of its own. Rows are printed as they finish; every row's outcome, text and file name is "
             "what -j 1 gives, and no row sees what another left: cookies, storage, the HTTP and "
             "authentication caches, service workers, permissions or connections."),
         {},
         [](const QString &value, BatchOptions &options) {
             return RunOptionText::readPagesAtOnce(value, options.jobs);
         }},
        {{QStringLiteral("max-page-memory")},
         QStringLiteral("MIB"),
         QStringLiteral(
             "the most memory a page may use, in MiB (default 1024, from 100 to 1048576), counted as the "
             "proportional set size of its renderer processes: a page past it is stopped and its row fails as "
             "\"page used too much memory\"."),
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
         QStringLiteral(
             "up to N loads of a row whose failure may pass (a reset connection, a time-out, HTTP 408, 429, "
             "502, 503 or 504), pausing 1 s and doubling up to 30 s, or as the server's Retry-After asks (up "
             "to 60 s); default 1, at most 100. HTTP 404 and unknown hosts are never retried. A row whose "
             "page was lost when the engine restarted for another page is loaded once more besides."),
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
         QStringLiteral(
             "appends \"address<TAB>file name\" to FILE for every saved row; rows whose address FILE lists "
             "are skipped and its names stay taken, so a stopped run resumes where it stopped. An address "
             "with user info is written without it, followed by \" (user info HASH)\" (10 hexadecimal digits "
             "of the row's SHA-256), so that rows told apart only by it stay apart. The first line the "
             "program adds is \"# textorin archive 2\"; after it, an address or name holding a TAB, a line "
             "break or a backslash, or starting or ending with a blank, is written with \\t, \\n, \\r, \\\\ "
             "and \\s (a blank at either edge); other lines are plain."),
         {},
         fileName(&BatchOptions::archive)},
        {{QStringLiteral("report")},
         QStringLiteral("FILE"),
         QStringLiteral(
             "writes one JSON object per row as it finishes (JSON Lines), with row, address (without its user "
             "info), outcome (saved, failed, skipped), file, bytes, http_status, content_type (what the "
             "address answered, such as application/pdf), reason, ms, tries, final_url (the address the page "
             "ended at), title, started (when its first load started, ISO 8601 with the time zone offset), "
             "folder (the absolute destination folder; null with -O - or --format jsonl), note (a remark on a "
             "saved row), then what a saved page states: lang, author, published, modified, description, "
             "site_name, canonical, and word_count and text_sha256 of its text (each null when not stated, or for "
             "a row not saved); "
             "with --main-content, fallback; with --format markdown, html or --main-content, format_fallback "
             "(why a part of the page kept its text instead of being converted, else null); with --select, select "
             "(\"no match\" when it matched nothing, else null). \"-\" writes them "
             "to standard output, and the row lines and the summary go to standard error."),
         {},
         fileName(&BatchOptions::report)},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("TEMPLATE"),
         QStringLiteral(
             "names each file from the fields of its address instead of the fixed rule (see FILE NAMES): "
             "{host} and {port} (80 or 443 when the address gives none), {path} (without its leading slash; "
             "its slashes make folders inside the destination folder, and a path ending in / gives index), "
             "{query} (without its ?), {row} (the row's number in the list, blank lines not counted), {hash} "
             "(the first 10 hexadecimal digits of the address's SHA-256) and {ext} (the format's extension "
             "without its dot; a template without it gets .EXT at its end, unless it ends so already: -o "
             "out.txt names out.txt, while with --format json it names out.txt.json). Before the first row, a "
             "warning on standard error says when the template has no field and the run has more than one row "
             "(or a list, sitemap or crawl), and when it holds %(, which is no field syntax here. A {row} "
             "name whose file was there before the run is numbered as a collision (1 (2).txt) rather than "
             "replaced, and the row line says so. A slash inside any other field, NUL, control characters and "
             "\\ * : ? < > | become _. Each part of the name is cut to 255 bytes, keeping a hash of the whole "
             "part; two rows of one name are numbered as with the fixed rule. A template that names an "
             "absolute path, a . or .. folder or an unknown field is a usage error; a row whose fields give a "
             ". or .. folder (as %2e%2e in its path does) fails, naming the folder. Folders are made as "
             "needed, never through a symbolic link; a row that fails leaves none of the folders it made."),
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
         QStringLiteral("makes the names ASCII without blanks or shell-special characters, for the fixed rule and the "
                        "fields of -o: letters Qt can decompose lose their accents, other characters outside ASCII, "
                        "control characters, blanks and !\"#$&'()*;<>?[\\]`{|}~ become _, and a run of _ is one; "
                        "colliding names are numbered as before."),
         {},
         turnsOn(&BatchOptions::restrictFilenames)},
        {{QStringLiteral("retry-failed")},
         QStringLiteral("REPORT"),
         QStringLiteral(
             "runs again the rows that REPORT (an earlier run's --report) gives as failed or stopped, before "
             "any other rows, under the names they had: its recorded file, else the name the template or "
             "fixed rule gives, with {row} the row number it records. A report that cannot be read, or names "
             "no failed row, is an error and nothing runs."),
         {},
         fileName(&BatchOptions::retryFailed)},
        {{QStringLiteral("sitemap")},
         QStringLiteral("URL"),
         QStringLiteral(
             "adds the addresses of a sitemap (an address, or a local file) as rows after those of the "
             "LISTFILEs, in the order the sitemaps and the feeds of --feed are given; give it as often as "
             "needed. A sitemap index is followed (its sitemaps fetched one at a time, in its order, when the "
             "run comes to them), a gzipped sitemap is inflated by gzip(1) (at most 50 MiB), and a file that "
             "is no XML is read as a text sitemap, one address a line. At most 50000 entries are taken from "
             "each file, as the protocol allows; the others are named in one warning. Sitemaps are fetched by "
             "the engine with the options of the pages (cookies, headers, proxy, certificates). An entry that "
             "is no http or https address fails as its row (a sitemap on the web never names a local file; a "
             "local sitemap may). An entry holding an XML entity the sitemap does not define (such as &nbsp;) "
             "is left out, with a warning naming the sitemap, the entity and the line. A sitemap that cannot "
             "be read is one error naming it, as in \"textorin-batch: cannot read sitemap URL: HTTP error 404 "
             "Not Found\", or \"cannot read sitemap URL: it is an HTML page, not a sitemap\" for a page; no "
             "further rows are taken, and the exit status is 2."),
         {},
         webSource(WebSource::Kind::Sitemap)},
        {{QStringLiteral("feed")},
         QStringLiteral("URL"),
         QStringLiteral("adds the links of an RSS or Atom feed's items as rows after those of the LISTFILEs, in the "
                        "order the feeds and the sitemaps of --sitemap are given, fetched in the same way; give it as "
                        "often as needed."),
         {},
         webSource(WebSource::Kind::Feed)},
        {{QStringLiteral("r"), QStringLiteral("recursive")},
         {},
         QStringLiteral(
             "follows links: after a page is saved, the links of its rendered, settled document (those of a "
             "and area elements, in open shadow trees and same-origin frames too, of link rel=next, and the "
             "frames' own addresses; links made by the page's scripts included) are added as rows when they "
             "are in the scope (by default the start addresses' hosts), each address once. The rows of -u, "
             "the LISTFILEs, sitemaps and feeds are the start addresses, at depth 0. Addresses are compared "
             "normalised: scheme and host in lower case, the default port, the fragment and any user info "
             "dropped, . and .. segments resolved, escapes in one form. A page whose redirect leads to an "
             "address already saved or queued, or whose link rel=canonical names one, is skipped as \"same "
             "page as ADDRESS\"; either address then counts as seen. Addresses whose suffix says image, "
             "media, font, archive or program are skipped with the reason, unless -A names their suffix. The "
             "crawl's state (every address seen, its depth, the page it was found on, how it ended and its "
             "file) is kept in the SQLite file .textorin-crawl.sqlite in the folder, or in the file of "
             "--state; each row's end is committed as it comes, so the same command run again, after any "
             "stop, goes on where the last run stopped: saved pages are not loaded again, the rows that were "
             "loading are. Once a run has ended (every link followed, or --max-pages), the same command runs "
             "the crawl again and tells what changed (see --changed-only). Files are named by the template "
             "{host}/{path} (the site mirrored as folders) unless -o says otherwise; --wait is 0.1 s and "
             "--max-pages-per-host 50000 unless given, and --robots is on. The summary adds a line with the "
             "pages saved and failed, those left out by scope, by robots.txt, as duplicates, as no pages and "
             "past the per-host limit, and what ended the crawl."),
         {},
         turnsOn(&BatchOptions::recursive)},
        {{QStringLiteral("l"), QStringLiteral("level")},
         QStringLiteral("N"),
         QStringLiteral("follows links at most N steps from the start addresses (default 5; 0 or inf for no limit)."),
         {},
         [](const QString &value, BatchOptions &options) { return CrawlOptionText::readLevel(value, options.level); }},
        {{QStringLiteral("max-pages")},
         QStringLiteral("N"),
         QStringLiteral("ends the crawl once N pages were loaded (saved or failed, counting those loaded before a stop "
                        "that this run resumes): no further row starts, and the summary says which limit ended it."),
         {},
         [](const QString &value, BatchOptions &options) {
             return CrawlOptionText::readMaxPages(value, options.maxPages);
         }},
        {{QStringLiteral("max-pages-per-host")},
         QStringLiteral("N"),
         QStringLiteral("loads at most N pages of each host (default 50000 in a crawl; 0: no limit); further addresses "
                        "of the host are recorded as left out. What bounds an endless calendar beside the level."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::count(value, std::numeric_limits<int>::max(), 0), &options.maxPagesPerHost,
                          value, QStringLiteral("a whole number"));
         }},
        {{QStringLiteral("time-limit")},
         QStringLiteral("DURATION"),
         QStringLiteral("starts no row after DURATION (90s, 30m, 2h, 1d; seconds without a unit); the rows loading end "
                        "as they would. A crawl run again goes on from there."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::duration(value), &options.timeLimitMs, value,
                          QStringLiteral("a duration such as 90s, 30m or 2h"));
         }},
        {{QStringLiteral("no-parent")},
         {},
         QStringLiteral(
             "keeps to the start address's folder and below (that of /docs/guide/intro.html is /docs/guide/); "
             "-np as wget has it."),
         {},
         [](const QString &, BatchOptions &options) {
             options.scope.noParent = true;
             return QString();
         }},
        {{QStringLiteral("H"), QStringLiteral("span-hosts")},
         {},
         QStringLiteral(
             "follows links to other hosts: those of -D when given, else any host. Without it, only the start "
             "addresses' hosts are followed (www.example.org and example.org are two hosts)."),
         {},
         [](const QString &, BatchOptions &options) {
             options.scope.spanHosts = true;
             return QString();
         }},
        {{QStringLiteral("D"), QStringLiteral("domains")},
         QStringLiteral("LIST"),
         QStringLiteral("with -H, the comma-separated domains whose hosts are followed (a domain takes its subdomains: "
                        "example.org takes docs.example.org but not notexample.org)."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::list(value.toLower()), &options.scope.domains, value,
                          QStringLiteral("domains parted by commas"));
         }},
        {{QStringLiteral("accept-regex")},
         QStringLiteral("REGEX"),
         QStringLiteral("follows only the addresses the regular expression (Perl's syntax) matches, anywhere in the "
                        "whole normalised address: scheme, host, path and query. A regular expression that does not "
                        "compile is a usage error naming the option and the position."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.scope.acceptRegex = value;
             return CrawlScope::regexProblem(value);
         }},
        {{QStringLiteral("reject-regex")},
         QStringLiteral("REGEX"),
         QStringLiteral("follows no address the regular expression matches, read as --accept-regex reads it; it goes "
                        "before all other rules."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.scope.rejectRegex = value;
             return CrawlScope::regexProblem(value);
         }},
        {{QStringLiteral("A"), QStringLiteral("accept")},
         QStringLiteral("LIST"),
         QStringLiteral(
             "follows only addresses whose last segment ends with a suffix of the comma-separated list (pdf, "
             ".pdf and *.pdf are one) or matches a pattern with *, ? or [ (such as *draft*); pages (no "
             "suffix, or .html, .php, ...) are still followed, as wget does. Images, media, fonts, archives "
             "and programs are never loaded unless named here."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::list(value), &options.scope.accept, value,
                          QStringLiteral("suffixes or patterns parted by commas"));
         }},
        {{QStringLiteral("R"), QStringLiteral("reject")},
         QStringLiteral("LIST"),
         QStringLiteral("follows no address whose last segment ends with a suffix of the list or matches a pattern."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(OptionValues::list(value), &options.scope.reject, value,
                          QStringLiteral("suffixes or patterns parted by commas"));
         }},
        {{QStringLiteral("ignore-query")},
         {},
         QStringLiteral(
             "drops the query of every address found before it is compared and loaded: ?a=1 and ?a=2 are one "
             "page."),
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
         QStringLiteral("a crawl (-r) that saves no file: each address taken up is printed on standard output as it is "
                        "found, its depth after a tab (ADDRESS, a tab, DEPTH); pages of the last level are listed, not "
                        "loaded. Rows that fail, the summary and the crawl's line go to standard error."),
         {},
         [](const QString &, BatchOptions &options) {
             options.spider = options.recursive = true;
             return QString();
         }},
        {{QStringLiteral("state")},
         QStringLiteral("FILE"),
         QStringLiteral(
             "keeps the crawl's state in FILE (SQLite) instead of .textorin-crawl.sqlite in the folder. A "
             "list run (no -r) given a state records its rows the same way. A run that stopped is resumed: "
             "saved rows are not loaded again. Once a run has ended, the next one runs it again: a page whose "
             "file still holds what was written is asked for with If-None-Match and If-Modified-Since; a 304 "
             "Not Modified ends its row as the same page, nothing rendered and the file untouched (a crawl "
             "follows the links kept from its last load). A sitemap row whose lastmod is older than the "
             "page's last load is the same page without a load (a lastmod of a day alone counts from that "
             "day's end). Every --report record and JSON record gets change: new, same, changed (the text's "
             "SHA-256 differs from the last saved one's) or gone (saved before; now answering 404 or 410, or, "
             "in a crawl that followed every link without a failure, linked from no page; its file stays), "
             "and the summary counts each (\"Changes: new N, changed N, same N, gone N.\"). The state keeps, "
             "per address, the final address, ETag, Last-Modified, the time of the last load, SHA-256 of the "
             "bytes written and of the text (as it is and with its whitespace collapsed), the file's name, "
             "the links and the text (compressed). A state file held by a run going on is refused (\"FILE is "
             "in use by another textorin-batch run\"), and so is one of another crawl (other start addresses, "
             "scope or level) unless --new-state is given, or a damaged one or one of a newer version, which "
             "are left as they are."),
         {},
         fileName(&BatchOptions::stateFile)},
        {{QStringLiteral("new-state")},
         {},
         QStringLiteral("starts the crawl afresh in a state file of an earlier or another crawl."),
         {},
         turnsOn(&BatchOptions::newState)},
        {{QStringLiteral("changed-only")},
         {},
         QStringLiteral(
             "writes files only for new and changed pages; the file of a page that is the same as at the last "
             "run keeps its bytes and modification time (with -O -, only new and changed texts are written). "
             "A file that is not what the state recorded (edited, removed, or written by a run killed before "
             "recording it) is written again. Needs a state (-r or --state), as do --diff, "
             "--ignore-whitespace and --no-keep-text."),
         {},
         turnsOn(&BatchOptions::changedOnly)},
        {{QStringLiteral("diff")},
         {},
         QStringLiteral("writes a unified diff of the last and the new text beside each changed page's file NAME, as "
                        "NAME.diff, or in the record's diff with --format json; the diff of an earlier run is removed "
                        "once its page is the same again."),
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
         QStringLiteral("keeps only hashes of the texts in the state, not the texts themselves (for huge runs; no "
                        "--diff)."),
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
         QStringLiteral(
             "follows each site's robots.txt (one per scheme, host and port, fetched once by the engine when "
             "the site's first row is read): the rules of the group for textorin, else of the group for *; "
             "the longest matching rule decides, an Allow wins a tie, * matches any characters and a final $ "
             "the end of the address, which is compared as the engine asks for it (its . and .. segments "
             "resolved, escaped letters, digits and -._~ unescaped, an escaped / kept). Rows it disallows are "
             "skipped as \"robots.txt\", and so is a row redirected to an address the robots.txt of its site "
             "disallows (fetched then, when it is new): that address is never asked for. A robots.txt that "
             "answers 4xx allows everything; one that answers 5xx, cannot be had, or has not answered within "
             "5 s (half the --timeout when that is shorter; other rows load meanwhile), skips the site's rows "
             "as \"robots.txt unavailable\", naming it once on standard error. Its Crawl-delay lengthens "
             "--wait for its host (up to 30 s). Off by default for a list: a list of chosen addresses is no "
             "crawl. On in a crawl (-r), where it also keeps to <meta name=\"robots\" content=\"nofollow\"> "
             "(no link of the page is followed) and to links marked rel=\"nofollow\". \"--robots off\" (or "
             "--robots=off, -e robots=off, --no-robots) turns it off."),
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
         QStringLiteral(
             "takes only the rows whose output name (before any numbering) falls in shard K of N: the first 8 "
             "bytes of its SHA-256 as a number, modulo N, equal to K-1. N machines with K = 1..N share one "
             "list with no overlap and no gap; colliding names land on the same shard."),
         {},
         storeShard},
        {{QStringLiteral("q"), QStringLiteral("quiet")},
         {},
         QStringLiteral("prints only failed rows and the summary."),
         {},
         turnsOn(&BatchOptions::quiet)},
        {{QStringLiteral("v"), QStringLiteral("verbose")},
         {},
         QStringLiteral(
             "prints on standard error, for each load, what it answered, \"row N: status 200, text/html, "
             "final address URL, redirects: URL -> URL\" (or its failure), and a line \"timeline: row N page "
             "P at MS ms: ready +A, answer +B, parse +C, load +D, settle +E, text +F, hand-over +G, write +H "
             "ms\" (the milliseconds each step took: the page made ready, the document's answer, parsing to "
             "DOMContentLoaded, the load event, waits and settle, the text, its hand-over and the write), "
             "with the sums of each step over the run at the end. A common failure gets a hint to the option "
             "that may help. The engine's own diagnostics go to --engine-log only."),
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
                        "($XDG_CONFIG_HOME/textorin/batch.conf when set); a missing FILE is a usage error."),
         {},
         {}},
        {{QStringLiteral("no-config")}, {}, QStringLiteral("reads no configuration file."), {}, {}},
        {{QStringLiteral("version")}, {}, QStringLiteral("prints the version and exits."), {}, {}, Request::Version},
        {{QStringLiteral("h"), QStringLiteral("help")},
         {},
         QStringLiteral("prints the help and exits."),
         {},
         {},
         Request::Help},
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
