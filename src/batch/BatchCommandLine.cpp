#include "batch/BatchCommandLine.h"

#include "batch/BatchConfigFile.h"
#include "batch/OptionSuggestion.h"
#include "capture/EngineOptionText.h"
#include "capture/NameTemplate.h"
#include "capture/OutputFormat.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSize>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

using Request = BatchCommandLine::Request;

constexpr int Width = 79;
constexpr int DescriptionColumn = 16;
constexpr int ValueColumn = 18;
constexpr int ExampleCommentColumn = 49;

// The head, then the words of the text from column `indent` on, wrapped at
// Width; the text starts on the head's line when the head leaves room for it.
QString wrapped(const QString &head, int indent, const QString &text)
{
    if (text.trimmed().isEmpty())
        return head + QLatin1Char('\n');
    QString result;
    if (head.size() >= indent && !head.isEmpty())
        result += head + QLatin1Char('\n');
    const QString margin(indent, QLatin1Char(' '));
    QString line = head.size() < indent ? head.leftJustified(indent) : margin;
    bool hasWords = false;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (hasWords && line.size() + 1 + word.size() > Width) {
            result += line + QLatin1Char('\n');
            line = margin;
            hasWords = false;
        }
        if (hasWords)
            line += QLatin1Char(' ');
        line += word;
        hasWords = true;
    }
    return result + line + QLatin1Char('\n');
}

// The value as a problem shows it: on one line.
QString shown(const QString &value)
{
    QString text = value;
    for (QChar &character : text) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return text;
}

QString refusal(const QString &wanted, const QString &value)
{
    return QStringLiteral("wants %1, not \"%2\"").arg(wanted, shown(value));
}

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
        options.webSources.append({kind, file.isFile() ? QUrl::fromLocalFile(file.absoluteFilePath()).toString()
                                                       : value.trimmed()});
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

// Seconds from `least` to a day, as milliseconds.
std::optional<int> milliseconds(const QString &text, double least)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < least || seconds > 86'400)
        return std::nullopt;
    return int(std::lround(seconds * 1000));
}

// A whole number from `least` to `most`.
std::optional<int> count(const QString &text, int most, int least = 1)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
}

std::optional<QSize> windowSize(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2,5})[xX](\\d{2,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() < 100 || size.height() < 100 || size.width() > 10'000 || size.height() > 10'000)
        return std::nullopt;
    return size;
}

// A page option read by its text form.
Store engineText(QString (*read)(const QString &, EngineOptions &))
{
    return [read](const QString &value, BatchOptions &options) { return read(value, options.engine); };
}

// The name of a file that must be there to be read.
QString readableFile(const QString &value, QString *field)
{
    const QFileInfo info(value);
    if (value.isEmpty() || !info.isFile() || !info.isReadable())
        return refusal(QStringLiteral("a readable file"), value);
    *field = value;
    return {};
}

QString storePasswordFile(const QString &value, BatchOptions &options)
{
    QFile file(value);
    if (!QFileInfo(value).isFile() || !file.open(QIODevice::ReadOnly))
        return refusal(QStringLiteral("a readable file"), value);
    // The first line, as wget's and curl's password files hold it.
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    options.engine.authPassword = QString::fromUtf8(line);
    options.passwordFile = value;
    return {};
}

// Choices that only make sense together, and the options at odds, by long name.
struct Conflict {
    QString problem;
    QStringList options;
};

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
    return {};
}

QString storeShard(const QString &text, BatchOptions &options)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})/(\\d{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    const int shard = match.captured(1).toInt();
    const int shards = match.captured(2).toInt();
    if (!match.hasMatch() || shards < 1 || shard < 1 || shard > shards)
        return refusal(QStringLiteral("K/N with 1 <= K <= N"), text);
    options.shard = shard;
    options.shards = shards;
    return {};
}

// "a, b or c"
QString formatNames()
{
    QStringList names;
    for (const OutputFormat &format : OutputFormat::all())
        names << format.name;
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString storeFormat(const QString &name, BatchOptions &options)
{
    const OutputFormat *format = OutputFormat::named(name);
    if (!format)
        return refusal(formatNames(), name);
    options.format = format->name;
    options.engine.form = format->form;
    return {};
}

QList<std::pair<QString, QString>> formatValues()
{
    QList<std::pair<QString, QString>> values;
    for (const OutputFormat &format : OutputFormat::all())
        values.append({format.name, QStringLiteral("%1, in %2 files%3")
                                        .arg(format.description, format.extension,
                                             format.aliases.isEmpty() ? QString()
                                                 : QStringLiteral(" (also ") + format.aliases.join(QStringLiteral(", ")) + QLatin1Char(')'))});
    return values;
}

QList<BatchCommandLine::Option> makeOptions()
{
    const QString seconds = QStringLiteral("a number of seconds");
    return {
        {{QStringLiteral("u"), QStringLiteral("url")}, QStringLiteral("URL"),
         QStringLiteral("one address, saved before those of the LISTFILEs; give it as often as needed. "
                        "With -u no LISTFILE is needed."),
         {},
         [](const QString &value, BatchOptions &options) {
             if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
                 return QStringLiteral("wants one address, without line breaks");
             options.addresses.append(value);
             return QString();
         }},
        {{QStringLiteral("i"), QStringLiteral("input-file")}, QStringLiteral("FILE"),
         QStringLiteral("a list file, read before the LISTFILEs; give it as often as needed."),
         {}, [](const QString &value, BatchOptions &options) {
             if (value.isEmpty())
                 return refusal(QStringLiteral("a file"), value);
             options.listFiles.append(value);
             return QString();
         }},
        {{QStringLiteral("P"), QStringLiteral("output-dir"), QStringLiteral("folder")}, QStringLiteral("DIR"),
         QStringLiteral("the destination folder, created with its parents when missing; by default "
                        "the current directory (before version 1.1, the window's stored folder)."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.folderGiven = true;
             return storeName(value, &options.folder, QStringLiteral("a folder"));
         }},
        {{QStringLiteral("timeout")}, QStringLiteral("SECONDS"),
         QStringLiteral("time for each page's document to arrive (default 60). A page whose document "
                        "is in but whose load never ends is saved as it stands, marked \"load incomplete\"."),
         {},
         [seconds](const QString &value, BatchOptions &options) {
             return store(milliseconds(value, 0.1), &options.engine.pageLimitMs, value, seconds);
         }},
        {{QStringLiteral("settle")}, QStringLiteral("SECONDS"),
         QStringLiteral("after the load event, wait until the page has been quiet for 300 ms (no "
                        "requests, no changes), or calm for 20 ms with nothing pending, at most this "
                        "long (default 3; 0 takes the text at the load event)."),
         {},
         [seconds](const QString &value, BatchOptions &options) {
             return store(milliseconds(value, 0), &options.engine.settleMs, value, seconds);
         }},
        {{QStringLiteral("window-size")}, QStringLiteral("WxH"),
         QStringLiteral("the window the pages are laid out in (default 1280x800, each side from 100 "
                        "to 10000)."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(windowSize(value), &options.engine.windowSize, value,
                          QStringLiteral("WIDTHxHEIGHT, such as 1280x800"));
         }},
        {{QStringLiteral("format")}, QStringLiteral("FORMAT"),
         QStringLiteral("what each file holds:"), formatValues(), storeFormat},
        {{QStringLiteral("O"), QStringLiteral("output-document")}, QStringLiteral("-"),
         QStringLiteral("\"-\" writes each page's text to standard output instead of a file, in "
                        "list order whatever -j; with several rows each text follows a \"==> ADDRESS "
                        "<==\" line and a blank line parts them, and --format json gives one object a "
                        "line. The row lines and the summary go to standard error; --folder and "
                        "--no-clobber are not used."),
         {}, [](const QString &value, BatchOptions &options) {
             if (value != QLatin1String("-"))
                 return QStringLiteral("wants - (standard output), not \"%1\": files go to --folder").arg(shown(value));
             options.toStandardOutput = true;
             return QString();
         }},
        {{QStringLiteral("stdout")}, {}, QStringLiteral("the same as -O -."), {},
         turnsOn(&BatchOptions::toStandardOutput)},
        {{QStringLiteral("main-content")}, {},
         QStringLiteral("only the page's main article, as Readability finds it: its title, then its "
                        "text. A page without one gives its whole body, and the report adds "
                        "\"fallback\": true."),
         {},
         [](const QString &, BatchOptions &options) {
             options.engine.mainContent = true;
             return QString();
         }},
        {{QStringLiteral("wait-for")}, QStringLiteral("SELECTOR"),
         QStringLiteral("after the load event, waits until an element matching the CSS selector is "
                        "there and laid out, within the --timeout; a page where it never appears is "
                        "saved with its text, marked \"selector not found\"."),
         {}, engineText(EngineOptionText::readWaitFor)},
        {{QStringLiteral("require-selector")}, {},
         QStringLiteral("fails a row whose --wait-for selector never appears."),
         {},
         [](const QString &, BatchOptions &options) {
             options.engine.requireSelector = true;
             return QString();
         }},
        {{QStringLiteral("delay")}, QStringLiteral("SECONDS"),
         QStringLiteral("a fixed pause after the load event, before the settle."),
         {},
         [seconds](const QString &value, BatchOptions &options) {
             return store(milliseconds(value, 0), &options.engine.delayMs, value, seconds);
         }},
        {{QStringLiteral("scroll")}, {},
         QStringLiteral("scrolls each page and its scrolling panes to the bottom, a window's height at "
                        "a time, until it stops growing (at most 20 steps), then back to the top, so "
                        "that sections loaded on scrolling are in the text."),
         {},
         [](const QString &, BatchOptions &options) {
             options.engine.scroll = true;
             return QString();
         }},
        {{QStringLiteral("block")}, QStringLiteral("LIST"),
         QStringLiteral("refuses the pages' requests for these kinds of resource, a comma-separated "
                        "list of images, media, fonts and stylesheets (default media); \"none\" "
                        "loads everything."),
         {}, engineText(EngineOptionText::readBlocked)},
        {{QStringLiteral("user-agent")}, QStringLiteral("TEXT"),
         QStringLiteral("the user agent the browser sends (default the engine's own, as a desktop "
                        "Chrome of the same version)."),
         {}, engineText(EngineOptionText::readUserAgent)},
        {{QStringLiteral("header")}, QStringLiteral("'NAME: VALUE'"),
         QStringLiteral("adds a request header to every request to the row's own origin (its scheme, "
                        "host and port; never to another, nor where a redirect leads elsewhere); give it "
                        "as often as needed. Cookie, Host and the headers of the connection "
                        "(Content-Length, Transfer-Encoding, Connection, Upgrade, Expect, …) cannot be set."),
         {}, engineText(EngineOptionText::readHeader)},
        {{QStringLiteral("lang")}, QStringLiteral("TAG"),
         QStringLiteral("the language the pages are asked for (Accept-Language and "
                        "navigator.language), such as de-DE; by default that of LANG, else en-US."),
         {}, engineText(EngineOptionText::readLanguage)},
        {{QStringLiteral("cookies")}, QStringLiteral("FILE"),
         QStringLiteral("sets the cookies of a Netscape cookies.txt file (as wget, curl and yt-dlp "
                        "read it) of each row's site before the row; malformed lines are named and skipped."),
         {},
         [](const QString &value, BatchOptions &options) {
             return readableFile(value, &options.cookiesFile);
         }},
        {{QStringLiteral("save-cookies")}, QStringLiteral("FILE"),
         QStringLiteral("writes at the end the cookies of --cookies as the rows' pages left them (the "
                        "last row to set a cookie wins), so that a login serves the next run."),
         {}, fileName(&BatchOptions::saveCookiesFile)},
        {{QStringLiteral("user")}, QStringLiteral("NAME"),
         QStringLiteral("answers the HTTP authentication of each row's own origin (its scheme, host "
                        "and port) with NAME and the password of --password-file; another origin's "
                        "challenge is named in the row's line and report."),
         {},
         [](const QString &value, BatchOptions &options) {
             return storeName(value, &options.engine.authUser, QStringLiteral("a user name"));
         }},
        {{QStringLiteral("password-file")}, QStringLiteral("FILE"),
         QStringLiteral("the first line of FILE is the password for --user."),
         {}, storePasswordFile},
        {{QStringLiteral("proxy")}, QStringLiteral("URL"),
         QStringLiteral("loads every page through this proxy: http://, https:// or socks5://, with "
                        "user:password@ if it asks. By default the proxy of http_proxy, https_proxy "
                        "or all_proxy, except for the hosts of no_proxy, as curl reads them."),
         {},
         [](const QString &value, BatchOptions &options) {
             options.proxyGiven = true;
             return EngineOptionText::readProxy(value, options.engine);
         }},
        {{QStringLiteral("no-check-certificate")}, {},
         QStringLiteral("saves pages whose certificate cannot be trusted (by default such a row fails)."),
         {},
         [](const QString &, BatchOptions &options) {
             options.engine.checkCertificates = false;
             return QString();
         }},
        {{QStringLiteral("ca-certificate")}, QStringLiteral("FILE"),
         QStringLiteral("trusts the certificate authority of FILE (PEM) besides the engine's own."),
         {},
         [](const QString &value, BatchOptions &options) {
             return readableFile(value, &options.engine.caCertificateFile);
         }},
        {{QStringLiteral("j"), QStringLiteral("jobs")}, QStringLiteral("N"),
         QStringLiteral("loads up to N pages at once (default 4, at most 32); every row has a browser "
                        "context of its own; rows are printed as they finish, and every outcome, text "
                        "and file name is what -j 1 gives."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(count(value, 32), &options.jobs, value,
                          QStringLiteral("a whole number from 1 to 32"));
         }},
        {{QStringLiteral("max-page-memory")}, QStringLiteral("MIB"),
         QStringLiteral("the most memory a page may use, in MiB (default 1024, from 100 to 1048576): "
                        "a page past it is stopped and its row fails as \"page used too much memory\"."),
         {},
         [](const QString &value, BatchOptions &options) {
             const std::optional<int> mebibytes = count(value, 1'048'576, 100);
             if (!mebibytes)
                 return refusal(QStringLiteral("a whole number from 100 to 1048576"), value);
             options.engine.pageMemoryCap = qint64(*mebibytes) << 20;
             return QString();
         }},
        {{QStringLiteral("tries")}, QStringLiteral("N"),
         QStringLiteral("up to N loads of a row whose failure may pass (a reset connection, a "
                        "time-out, HTTP 408, 429, 502, 503, 504), pausing 1 s and doubling up to 30 s, "
                        "or as the server's Retry-After asks (up to 60 s); default 1, at most 100. "
                        "HTTP 404 and unknown hosts are never retried. A row whose page was lost when the "
                        "engine restarted for another page is loaded once more besides."),
         {},
         [](const QString &value, BatchOptions &options) {
             return store(count(value, 100), &options.tries, value,
                          QStringLiteral("a whole number from 1 to 100"));
         }},
        {{QStringLiteral("wait")}, QStringLiteral("SECONDS"),
         QStringLiteral("at least this long between two loads of the same host, across the whole list, "
                        "counted from when the earlier one asked for its page."),
         {},
         [seconds](const QString &value, BatchOptions &options) {
             return store(milliseconds(value, 0), &options.hostWaitMs, value, seconds);
         }},
        {{QStringLiteral("no-clobber")}, {},
         QStringLiteral("skips (and counts as skipped) a row whose file exists already."),
         {}, turnsOn(&BatchOptions::noClobber)},
        {{QStringLiteral("archive")}, QStringLiteral("FILE"),
         QStringLiteral("appends \"address<TAB>file name\" for every saved row; rows whose address "
                        "FILE lists are skipped and its names stay taken, so a stopped run resumes "
                        "where it stopped."),
         {}, fileName(&BatchOptions::archive)},
        {{QStringLiteral("report")}, QStringLiteral("FILE"),
         QStringLiteral("writes one JSON object per row as it finishes (JSON Lines), with row, "
                        "address, outcome (saved, failed, skipped), file, bytes, http_status, "
                        "content_type, reason, ms and tries; \"-\" writes them to standard output, and the row lines and "
                        "summary go to standard error."),
         {}, fileName(&BatchOptions::report)},
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("TEMPLATE"),
         QStringLiteral("names each file from the fields of its address instead of the fixed rule: "
                        "{host}, {port}, {path} (its slashes make folders inside DIR; a path ending in "
                        "/ gives \"index\"), {query}, {row} (the row's number in the list), {hash} (10 "
                        "hex digits of the address's SHA-256) and {ext} (the format's extension, added "
                        "at the end when the template has none). A slash in another field, NUL and "
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
        {{QStringLiteral("sitemap")}, QStringLiteral("URL"),
         QStringLiteral("adds the addresses of a sitemap (an address, or a file; sitemap indexes "
                        "followed, gzipped ones read) as rows after those of the LISTFILEs, in the order given with --feed; give it as often as needed. At "
                        "most 50000 rows are taken from each sitemap file, as the protocol allows. "
                        "Sitemaps are fetched by the engine with the options of the pages; one that "
                        "cannot be read ends the run (exit status 2)."),
         {}, webSource(WebSource::Kind::Sitemap)},
        {{QStringLiteral("feed")}, QStringLiteral("URL"),
         QStringLiteral("adds the links of an RSS or Atom feed as rows after those of the LISTFILEs, "
                        "in the order given with --sitemap; give it as often as needed."),
         {}, webSource(WebSource::Kind::Feed)},
        {{QStringLiteral("robots")}, {},
         QStringLiteral("follows each site's robots.txt, fetched once by the engine: rows it "
                        "disallows for textorin (or for *) are skipped as \"robots.txt\", as are rows redirected to "
                        "an address the robots.txt of its site disallows, and its "
                        "Crawl-delay (up to 30 s) lengthens --wait for its host. A robots.txt that "
                        "answers 4xx allows everything; one that answers 5xx, or no answer, skips the "
                        "host's rows. Off by default: a list of chosen addresses is no crawl."),
         {}, turnsOn(&BatchOptions::robots)},
        {{QStringLiteral("shard")}, QStringLiteral("K/N"),
         QStringLiteral("takes only the rows whose output name (before any numbering) falls in shard "
                        "K of N: the first 8 bytes of its SHA-256 as a number, modulo N, equal to K-1. "
                        "N machines with K = 1..N share a list with no overlap and no gap; colliding "
                        "names land on the same shard."),
         {}, storeShard},
        {{QStringLiteral("q"), QStringLiteral("quiet")}, {},
         QStringLiteral("prints only failed rows and the summary."),
         {}, turnsOn(&BatchOptions::quiet)},
        {{QStringLiteral("v"), QStringLiteral("verbose")}, {},
         QStringLiteral("adds the browser engine's own diagnostics to standard error "
                        "(TEXTORIN_ENGINE_LOG=FILE keeps them in FILE instead), and a timeline of "
                        "each load (the page made ready, the answer, parsing, the load event, the "
                        "settle, the text, the write) with their sums at the end."),
         {}, turnsOn(&BatchOptions::verbose)},
        {{QStringLiteral("config")}, QStringLiteral("FILE"),
         QStringLiteral("reads the options of FILE instead of ~/.config/textorin/batch.conf "
                        "($XDG_CONFIG_HOME/textorin/batch.conf when set)."),
         {}, {}},
        {{QStringLiteral("no-config")}, {}, QStringLiteral("reads no configuration file."), {}, {}},
        {{QStringLiteral("version")}, {}, QStringLiteral("prints the version."), {}, {}, Request::Version},
        {{QStringLiteral("h"), QStringLiteral("help")}, {}, QStringLiteral("shows this text."), {}, {},
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
    const QString closest = OptionSuggestion::closest(name, known);
    QString error = QStringLiteral("unknown option '%1'").arg(dashed(name));
    if (!closest.isEmpty())
        error += QStringLiteral(". Did you mean '--%1'?").arg(closest);
    return error;
}

// Reads the options' names and values into the parser; false with the usage error.
bool parseNames(QCommandLineParser &parser, const QStringList &arguments, QString *error)
{
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const BatchCommandLine::Option &option : BatchCommandLine::options())
        parser.addOption(QCommandLineOption(option.names, option.description, option.valueName));
    if (parser.parse(arguments))
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
bool configArguments(const QString &path, bool required, const QCommandLineParser &commandLine,
                     QStringList *arguments, QHash<QString, int> *lines, QString *error)
{
    BatchConfigFile file;
    if (!file.read(path, required, error))
        return false;
    const QStringList headers = commandLine.values(QStringLiteral("header"));
    for (const BatchConfigFile::Entry &entry : file.entries()) {
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

// "  -u, --url URL"
QString optionHead(const BatchCommandLine::Option &option)
{
    QStringList names;
    for (const QString &name : option.names)
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty())
        head += QLatin1Char(' ') + option.valueName;
    return head;
}

QString optionHelp(const BatchCommandLine::Option &option)
{
    QString text = wrapped(optionHead(option), DescriptionColumn, option.description);
    qsizetype nameWidth = 0;
    for (const auto &value : option.values)
        nameWidth = qMax(nameWidth, value.first.size());
    for (const auto &value : option.values) {
        const int indent = ValueColumn + int(nameWidth) + 2;
        text += wrapped(QString(ValueColumn, QLatin1Char(' ')) + value.first, indent, value.second);
    }
    return text;
}

const char *const Intro =
    "Loads every address given with -u, then every address listed in the LISTFILEs, in a hidden "
    "browser engine and saves the text of each page's body as one .txt file in the current "
    "directory (or DIR), named after the address, exactly as the Textorin window does.";

const char *const ListFile =
    "a text file with one address per line (CR LF, CR or LF line ends); \"-\" reads the list from "
    "standard input. Blank lines are skipped and counted; lines whose first character that is not "
    "blank is # or ; are comments, which are no rows. Lists are read as the run goes and may be "
    "of any length; a line over 2 MiB fails as \"address too long\".";

const char *const Output =
    "One line per address goes to standard output, \"[ROW/TOTAL]\" (\"?\" for the total until the "
    "lists are counted), a failed one with its reason and nothing else; "
    "then \"Done.\" and a summary of saved, failed and skipped rows and the folder. When standard "
    "error is a terminal it also shows one line of progress: rows done, saved and failed, pages per "
    "minute, the time taken and left, the sitemap or feed being read, and the address loading. A page that cannot be had (no answer, "
    "an HTTP error, an image or other download, a time-out) writes no file; a PDF gives its text, "
    "plain text and JSON their body, XML its text. Ctrl-C (or SIGTERM) stops the run, "
    "printing \"Stopped by signal.\" and the summary so far; when nobody reads standard output any "
    "more (as after | head -1) the run ends at once with status 141. The browser engine is "
    "Debian's chromium, run headless.";

const char *const ConfigFile =
    "Options can also stand in ~/.config/textorin/batch.conf ($XDG_CONFIG_HOME/textorin/batch.conf "
    "when XDG_CONFIG_HOME is set), one a line as on the command line, such as \"--cookies "
    "/home/me/cookies.txt\" or \"--format=markdown\": the value is the rest of the line, blanks "
    "included, quotes around it dropped and a leading ~/ the home folder; lines whose first "
    "character that is not blank is # are comments. The file is read first and the command line "
    "wins: its value replaces the file's, while -u, -i and --header add to the file's (a --header "
    "of the same name replaces the file's). --config FILE reads another file, --no-config none; "
    "an error names the file and its line.";

const char *const ExitStatus =
    "Exit status: 0 every row was saved; 1 some row failed; 2 bad usage, a missing list file, an "
    "empty list, an unusable folder, no browser engine, or a sitemap or feed that cannot be read; 141 "
    "standard output was closed.";

// Each example's command line (%1 is the program) and what it does.
const char *const Examples[][2] = {
    {"%1 urls.txt", "into the current directory"},
    {"printf 'example.com\\n' | %1 -", "the list on standard input"},
    {"%1 -u example.com -u example.org", "two addresses, no list file"},
    {"%1 --folder ~/pages -i urls.txt", "into ~/pages"},
    {"%1 --timeout 20 urls.txt", "20 s for each document"},
    {"%1 --settle 0 urls.txt", "the text at the load event"},
    {"%1 --window-size 390x844 urls.txt", "laid out as on a phone"},
    {"%1 -j 16 urls.txt", "16 pages at once"},
    {"%1 --main-content --format markdown urls.txt", "each article as Markdown"},
    {"%1 --format json urls.txt", "a JSON record per page"},
    {"%1 -O - -u example.com | less", "the text on standard output"},
    {"%1 --tries 3 --wait 1 urls.txt", "patient with busy servers"},
    {"%1 --scroll --wait-for '#comments' urls.txt", "lazy sections and late comments"},
    {"%1 --cookies cookies.txt urls.txt", "as a logged-in user"},
    {"%1 --archive done.tsv urls.txt", "run again later to resume"},
    {"%1 -o '{host}/{path}' urls.txt", "files in a folder per site"},
    {"%1 --robots --sitemap https://example.com/sitemap.xml", "a site's pages, as its robots.txt allows"},
    {"%1 -q urls.txt", "only what went wrong"},
    {"%1 -v urls.txt 2>run.log", "with the engine's diagnostics"},
    {"%1 --version", ""},
};

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
        const QString value = option->valueName.isEmpty() ? QString()
                                                          : parser.values(name).value(valuesTaken[option]++);
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
        parsed.error = EngineOptionText::readProxyEnvironment(QProcessEnvironment::systemEnvironment(),
                                                              parsed.options.engine);
    if (!parsed.error.isEmpty())
        return parsed;
    parsed.options.listFiles += parser.positionalArguments();
    if (parsed.options.listFiles.isEmpty() && parsed.options.addresses.isEmpty()
        && parsed.options.webSources.isEmpty())
        parsed.error = QStringLiteral("missing LISTFILE or -u URL");
    return parsed;
}

QString BatchCommandLine::help(const QString &program)
{
    QString text = QStringLiteral("Usage: %1 [OPTION]... [LISTFILE]...\n\n").arg(program);
    text += wrapped({}, 0, QLatin1String(Intro)) + QLatin1Char('\n');
    text += wrapped(QStringLiteral("  LISTFILE"), DescriptionColumn, QLatin1String(ListFile));
    for (const Option &option : options())
        text += optionHelp(option);
    text += QLatin1Char('\n') + wrapped({}, 0, QLatin1String(Output));
    text += QLatin1Char('\n') + wrapped({}, 0, QLatin1String(ConfigFile));
    text += QStringLiteral("\nExamples:\n");
    for (const auto &example : Examples) {
        const QString command = QStringLiteral("  ") + QString::fromUtf8(example[0]).arg(program);
        text += wrapped(command, ExampleCommentColumn, QString::fromUtf8(example[1]));
    }
    return text + QLatin1Char('\n') + wrapped({}, 0, QLatin1String(ExitStatus));
}

QString BatchCommandLine::usageError(const QString &program, const QString &error)
{
    return QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(program, error);
}
