#include "batch/BatchRun.h"
#include "batch/ProgressLine.h"
#include "capture/OutputFormat.h"
#include "engine/ChromiumBrowser.h"
#include "engine/ChromiumPage.h"
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
        out << BatchRun::usage(program);
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
    ChromiumBrowser engine(process, options);
    QtEventPump pump;
    // Each page loads a row of its own, all in one engine.
    std::vector<std::unique_ptr<ChromiumPage>> pages;
    QList<IPage *> browsers;
    for (int i = 0; i < jobCount; ++i) {
        pages.push_back(std::make_unique<ChromiumPage>(engine));
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
    BatchRun batch(*pages.front(), pump, reportToOut ? err : out, err);
    batch.setBrowsers(browsers);
    batch.setOutputFormat(*outputFormat);
    batch.setMainContent(options.mainContent);
    if (reportFile.isOpen())
        batch.setReport(&reportFile);
    batch.setStandardInput(&input);
    batch.setAddresses(addresses);
    batch.setCreatesFolder(parser.isSet(folder));
    batch.setQuiet(parser.isSet(quiet));
    batch.setTries(tryCount);
    batch.setHostWait(hostWaitMs);
    batch.setNoClobber(parser.isSet(noClobber));
    batch.setShard(shardIndex, shardCount);
    if (parser.isSet(archive))
        batch.setArchive(parser.value(archive));
    batch.setProgressLine(progress ? &*progress : nullptr);
    batch.setRowWaitLimit(options.longestRowMs());
    TerminationSignals::install([&batch, &engine] {
        batch.printStoppedBySignal();
        engine.shutdown();
    });
    const QString destination = parser.isSet(folder) ? parser.value(folder) : storedFolder();
    return batch.run(parser.positionalArguments(), destination);
}
