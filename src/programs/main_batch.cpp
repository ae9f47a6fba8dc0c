#include "batch/BatchRun.h"
#include "batch/ProgressLine.h"
#include "capture/OutputFormat.h"
#include "engine/ChromiumBrowser.h"
#include "engine/ChromiumEngine.h"
#include "platform/ChromiumProcess.h"
#include "platform/TerminationSignals.h"
#include "support/PathHelpers.h"
#include "support/QtEventPump.h"
#include "support/SettingsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Opens /dev/null on every standard descriptor that is closed, so that no
// descriptor opened later lands on one; a closed standard input reads as empty.
void openClosedStandardDescriptors()
{
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened > descriptor) {
            ::dup2(opened, descriptor);
            ::close(opened);
        }
    }
}

// Has the engine append its diagnostics to standard error, which it opens anew
// when it starts. That opening has an offset of its own: standard error appends
// too, so that neither overwrites the other in a file. A socket cannot be opened
// so, and keeps the diagnostics off.
void sendEngineLogToStandardError()
{
    if (!QFile(QStringLiteral("/dev/stderr")).open(QIODevice::Append))
        return;
    ::fcntl(STDERR_FILENO, F_SETFL, ::fcntl(STDERR_FILENO, F_GETFL) | O_APPEND);
    qputenv("TEXTORIN_ENGINE_LOG", "/dev/stderr");
}

QString storedFolder()
{
    QString fallback;
    try {
        fallback = DesktopFolderPath();
    } catch (...) {
    }
    return SettingsStore().read(SettingsKeys::DownloadLocation, fallback);
}

// Seconds as milliseconds; false for anything but a number within the bounds.
bool parseSeconds(const QString &text, double least, int *milliseconds)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < least || seconds > 86'400)
        return false;
    *milliseconds = int(std::lround(seconds * 1000));
    return true;
}

// A whole number from 1 to `most`; false for anything else.
bool parseCount(const QString &text, int most, int *count)
{
    bool number = false;
    const int value = text.toInt(&number);
    if (!number || value < 1 || value > most)
        return false;
    *count = value;
    return true;
}

bool parseSize(const QString &text, QSize *size)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2,5})[xX](\\d{2,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const int width = match.captured(1).toInt();
    const int height = match.captured(2).toInt();
    if (width < 100 || height < 100 || width > 10'000 || height > 10'000)
        return false;
    *size = QSize(width, height);
    return true;
}

QString batchUsage(const QString &program)
{
    return QStringLiteral(
               "Usage: %1 [OPTION]... [LISTFILE]...\n"
               "\n"
               "Loads every address given with -u, then every address listed in the LISTFILEs,\n"
               "in a hidden browser engine and saves the text of each page's body as one .txt\n"
               "file in DIR, named after the address, exactly as the Textorin window does.\n"
               "\n"
               "  LISTFILE      a text file with one address per line (CR LF, CR or LF line\n"
               "                ends); \"-\" reads the list from standard input. Blank lines are\n"
               "                skipped and counted. Lists are read as the run goes and may be of\n"
               "                any length; a line over 2 MiB fails as \"address too long\".\n"
               "  -u, --url URL one address, saved before those of the LISTFILEs; give it as\n"
               "                often as needed. With -u no LISTFILE is needed.\n"
               "  --folder DIR  the destination folder, created with its parents when missing;\n"
               "                by default the folder the window uses (its stored \"Download\n"
               "                Location\"), which must exist.\n"
               "  --timeout SECONDS\n"
               "                time for each page's document to arrive (default 60). A page\n"
               "                whose document is in but whose load never ends is saved as it\n"
               "                stands, marked \"load incomplete\".\n"
               "  --settle SECONDS\n"
               "                after the load event, wait until the page has been quiet for\n"
               "                300 ms (no requests, no changes), at most this long (default 3;\n"
               "                0 takes the text at the load event).\n"
               "  --window-size WxH\n"
               "                the window the pages are laid out in (default 1280x800).\n"
               "  --format FORMAT\n"
               "                what each file holds: text (the default, the body's text, .txt),\n"
               "                markdown (headings, lists, links, tables and code kept, .md),\n"
               "                html (the document without scripts or handlers, links made\n"
               "                absolute, .html) or json (url, final_url, title, lang, fetched,\n"
               "                http_status and text, .json).\n"
               "  --main-content\n"
               "                only the page's main article, as Readability finds it: its title,\n"
               "                then its text. A page without one gives its whole body, and the\n"
               "                report adds \"fallback\": true.\n"
               "  -j, --jobs N  loads up to N pages at once (default 4, at most 32), each in\n"
               "                a browser context of its own; rows are printed as they finish,\n"
               "                and every outcome, text and file name is what -j 1 gives.\n"
               "  --tries N     up to N loads of a row whose failure may pass (a reset\n"
               "                connection, a time-out, HTTP 408, 429, 502, 503, 504), pausing 1 s\n"
               "                and doubling up to 30 s, or as the server's Retry-After asks (up\n"
               "                to 60 s); default 1. HTTP 404 and unknown hosts are never retried.\n"
               "  --wait SECONDS\n"
               "                at least this long between two loads of the same host.\n"
               "  --no-clobber  skips (and counts as skipped) a row whose file exists already.\n"
               "  --archive FILE\n"
               "                appends \"address<TAB>file name\" for every saved row; rows whose\n"
               "                address FILE lists are skipped and its names stay taken, so a\n"
               "                stopped run resumes where it stopped.\n"
               "  --report FILE writes one JSON object per row as it finishes (JSON Lines), with\n"
               "                row, address, outcome (saved, failed, skipped), file, bytes,\n"
               "                http_status, reason, ms and tries; \"-\" writes them to standard\n"
               "                output, and the row lines and summary go to standard error.\n"
               "  --shard K/N   takes only the rows whose output name (before any numbering)\n"
               "                falls in shard K of N: the first 8 bytes of its SHA-256 as a number,\n"
               "                modulo N, equal to K-1. N machines with K = 1..N share a list with\n"
               "                no overlap and no gap; colliding names land on the same shard.\n"
               "  -q, --quiet   prints only failed rows, error reports and the summary.\n"
               "  -v, --verbose adds the browser engine's own diagnostics to standard error\n"
               "                (TEXTORIN_ENGINE_LOG=FILE keeps them in FILE instead).\n"
               "  --version     prints the version.\n"
               "  -h, --help    shows this text.\n"
               "\n"
               "One line per address goes to standard output, \"[ROW/TOTAL]\" (\"?\" for the\n"
               "total until the lists are counted), a failed one with its reason; each error\n"
               "report goes to standard error; then \"Done.\" and a summary of saved, failed\n"
               "and skipped rows. When standard error is a terminal it also shows one line of\n"
               "progress: rows done, saved and failed, pages per minute, the time taken and\n"
               "left, and the address loading. A page that cannot be had (no answer, an HTTP\n"
               "error, a download, a time-out) writes no file. Ctrl-C (or SIGTERM) stops the\n"
               "run, printing \"Stopped by signal.\" and the summary so far. The browser\n"
               "engine is Debian's chromium, run headless.\n"
               "\n"
               "Examples:\n"
               "  %1 urls.txt                        into the stored folder\n"
               "  printf 'example.com\\n' | %1 -      the list on standard input\n"
               "  %1 -u example.com -u example.org   two addresses, no list file\n"
               "  %1 --folder ~/pages urls.txt       into ~/pages\n"
               "  %1 --timeout 20 urls.txt           20 s for each document\n"
               "  %1 --settle 0 urls.txt             the text at the load event\n"
               "  %1 --window-size 390x844 urls.txt  laid out as on a phone\n"
               "  %1 -j 16 urls.txt                  16 pages at once\n"
               "  %1 --main-content --format markdown urls.txt\n"
               "                                     each article as Markdown\n"
               "  %1 --format json urls.txt          a JSON record per page\n"
               "  %1 --tries 3 --wait 1 urls.txt     patient with busy servers\n"
               "  %1 --archive done.tsv urls.txt     run again later to resume\n"
               "  %1 -q urls.txt                     only what went wrong\n"
               "  %1 -v urls.txt 2>run.log           with the engine's diagnostics\n"
               "  %1 --version\n"
               "\n"
               "Exit status: 0 every row was saved; 1 some row failed; 2 bad usage, a missing\n"
               "list file, an empty list, an unusable folder or no browser engine.\n")
        .arg(program);
}

} // namespace

int main(int argc, char *argv[])
{
    openClosedStandardDescriptors();
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();

    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption url(QStringList{QStringLiteral("u"), QStringLiteral("url")}, QString(),
                                 QStringLiteral("URL"));
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption settle(QStringLiteral("settle"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption windowSize(QStringLiteral("window-size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption verbose(QStringList{QStringLiteral("v"), QStringLiteral("verbose")});
    const QCommandLineOption tries(QStringLiteral("tries"), QString(), QStringLiteral("N"));
    const QCommandLineOption wait(QStringLiteral("wait"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption noClobber(QStringLiteral("no-clobber"));
    const QCommandLineOption archive(QStringLiteral("archive"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption report(QStringLiteral("report"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption shard(QStringLiteral("shard"), QString(), QStringLiteral("K/N"));
    const QCommandLineOption jobs(QStringList{QStringLiteral("j"), QStringLiteral("jobs")}, QString(),
                                  QStringLiteral("N"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption mainContent(QStringLiteral("main-content"));
    parser.addOptions({help, version, url, folder, timeout, settle, windowSize, quiet, verbose, tries,
                       wait, noClobber, archive, report, shard, jobs, format, mainContent});
    const auto usageError = [&](const QString &text) {
        err << program << ": " << text << "\nTry '" << program << " --help'." << Qt::endl;
        return int(BatchRun::NothingRun);
    };
    if (!parser.parse(application.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        out << batchUsage(program);
        return BatchRun::AllSaved;
    }
    if (parser.isSet(version)) {
        out << "textorin-batch " TEXTORIN_VERSION << Qt::endl;
        return BatchRun::AllSaved;
    }
    EngineOptions options;
    if (parser.isSet(timeout) && !parseSeconds(parser.value(timeout), 0.1, &options.pageLimitMs))
        return usageError(QStringLiteral("--timeout wants a number of seconds, not \"%1\"")
                              .arg(parser.value(timeout)));
    if (parser.isSet(settle) && !parseSeconds(parser.value(settle), 0, &options.settleMs))
        return usageError(QStringLiteral("--settle wants a number of seconds, not \"%1\"")
                              .arg(parser.value(settle)));
    if (parser.isSet(windowSize) && !parseSize(parser.value(windowSize), &options.windowSize))
        return usageError(QStringLiteral("--window-size wants WIDTHxHEIGHT, such as 1280x800, not \"%1\"")
                              .arg(parser.value(windowSize)));
    const OutputFormat *outputFormat = &OutputFormat::text();
    if (parser.isSet(format)) {
        outputFormat = OutputFormat::named(parser.value(format));
        if (!outputFormat)
            return usageError(QStringLiteral("--format wants text, markdown, html or json, not \"%1\"")
                                  .arg(parser.value(format)));
        options.form = outputFormat->form;
    }
    options.mainContent = parser.isSet(mainContent);
    int tryCount = 1;
    if (parser.isSet(tries) && !parseCount(parser.value(tries), 100, &tryCount))
        return usageError(QStringLiteral("--tries wants a whole number from 1 to 100, not \"%1\"")
                              .arg(parser.value(tries)));
    int jobCount = 4;
    if (parser.isSet(jobs) && !parseCount(parser.value(jobs), 32, &jobCount))
        return usageError(QStringLiteral("--jobs wants a whole number from 1 to 32, not \"%1\"")
                              .arg(parser.value(jobs)));
    int shardIndex = 1;
    int shardCount = 1;
    if (parser.isSet(shard)) {
        static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})/(\\d{1,6})$"));
        const QRegularExpressionMatch match = pattern.match(parser.value(shard));
        shardIndex = match.captured(1).toInt();
        shardCount = match.captured(2).toInt();
        if (!match.hasMatch() || shardCount < 1 || shardIndex < 1 || shardIndex > shardCount)
            return usageError(QStringLiteral("--shard wants K/N with 1 <= K <= N, not \"%1\"")
                                  .arg(parser.value(shard)));
    }
    int hostWaitMs = 0;
    if (parser.isSet(wait) && !parseSeconds(parser.value(wait), 0, &hostWaitMs))
        return usageError(QStringLiteral("--wait wants a number of seconds, not \"%1\"")
                              .arg(parser.value(wait)));
    const QStringList addresses = parser.values(url);
    for (const QString &address : addresses) {
        if (address.contains(QLatin1Char('\n')) || address.contains(QLatin1Char('\r')))
            return usageError(QStringLiteral("--url wants one address, without line breaks"));
    }
    if (parser.positionalArguments().isEmpty() && addresses.isEmpty())
        return usageError(QStringLiteral("missing LISTFILE or -u URL"));
    if (parser.isSet(verbose) && !qEnvironmentVariableIsSet("TEXTORIN_ENGINE_LOG"))
        sendEngineLogToStandardError();

    ChromiumProcess process;
    ChromiumEngine engine(process, options);
    QtEventPump pump;
    // Each page loads a row of its own, all in one engine.
    std::vector<std::unique_ptr<ChromiumBrowser>> pages;
    QList<IPage *> browsers;
    for (int i = 0; i < jobCount; ++i) {
        pages.push_back(std::make_unique<ChromiumBrowser>(engine));
        browsers.append(pages.back().get());
        pages.back()->setDoneHandler([&pump] { pump.wake(); });
    }
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    std::optional<ProgressLine> progress;
    if (!parser.isSet(quiet) && ::isatty(STDERR_FILENO))
        progress.emplace(err);
    // With the report on standard output, the row lines go to standard error.
    const bool reportToOut = parser.value(report) == QLatin1String("-");
    QFile reportFile;
    if (reportToOut) {
        reportFile.open(STDOUT_FILENO, QIODevice::WriteOnly);
    } else if (parser.isSet(report)) {
        reportFile.setFileName(parser.value(report));
        if (!reportFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err << program << ": cannot write " << parser.value(report) << ": "
                << reportFile.errorString() << Qt::endl;
            return BatchRun::NothingRun;
        }
    }
    BatchOptions batchOptions;
    batchOptions.addresses = addresses;
    batchOptions.listFiles = parser.positionalArguments();
    batchOptions.folderGiven = parser.isSet(folder);
    batchOptions.folder = parser.isSet(folder) ? parser.value(folder) : storedFolder();
    batchOptions.engine = options;
    batchOptions.format = outputFormat->name;
    batchOptions.jobs = jobCount;
    batchOptions.tries = tryCount;
    batchOptions.hostWaitMs = hostWaitMs;
    batchOptions.noClobber = parser.isSet(noClobber);
    batchOptions.archive = parser.value(archive);
    batchOptions.shard = shardIndex;
    batchOptions.shards = shardCount;
    batchOptions.quiet = parser.isSet(quiet);
    BatchRun batch(batchOptions, browsers, pump, reportToOut ? err : out, err);
    if (reportFile.isOpen())
        batch.setReport(&reportFile);
    batch.setStandardInput(&input);
    batch.setProgressLine(progress ? &*progress : nullptr);
    TerminationSignals::install([&batch, &engine] {
        batch.printStoppedBySignal();
        engine.shutdown();
    });
    return batch.run();
}
