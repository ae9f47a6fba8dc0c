#include "batch/BatchCommandLine.h"
#include "batch/BatchConfigFile.h"
#include "batch/BatchRun.h"
#include "batch/ClosedOutputWatch.h"
#include "batch/OrderedOutput.h"
#include "batch/ProgressLine.h"
#include "engine/chromium/ChromiumBrowser.h"
#include "engine/chromium/ChromiumPage.h"
#include "engine/cookies/NetscapeCookieFile.h"
#include "process/ChromiumProcess.h"
#include "process/TerminationSignals.h"
#include "support/QtEventPump.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

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

// Opens the report file, truncated; "-" is standard output.
bool openReport(const QString &name, QFile &file)
{
    if (name == QLatin1String("-"))
        return file.open(STDOUT_FILENO, QIODevice::WriteOnly);
    file.setFileName(name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

// Puts the cookies of --cookies into the engine's options, naming the lines
// skipped; false when the file cannot be read.
bool readCookies(BatchOptions &options, const QString &program, QTextStream &err)
{
    if (options.cookiesFile.isEmpty())
        return true;
    NetscapeCookieFile::Contents contents;
    QString error;
    if (!NetscapeCookieFile::read(options.cookiesFile, &contents, &error)) {
        err << program << ": " << error << Qt::endl;
        return false;
    }
    for (const QString &problem : std::as_const(contents.problems))
        err << program << ": " << options.cookiesFile << ": " << problem << " (skipped)" << Qt::endl;
    options.engine.cookies = contents.cookies;
    return true;
}

// Writes --save-cookies from what the rows left; false when it cannot be written.
bool saveCookies(const BatchOptions &options, ChromiumBrowser &engine, const QString &program, QTextStream &err)
{
    if (options.saveCookiesFile.isEmpty())
        return true;
    QString error;
    if (NetscapeCookieFile::write(options.saveCookiesFile, engine.cookies(), &error))
        return true;
    err << program << ": " << error << Qt::endl;
    return false;
}

// Runs the lists in pages of one engine; the run's exit status.
int run(BatchOptions options, const QString &program, QTextStream &out, QTextStream &err)
{
    if (!readCookies(options, program, err))
        return BatchRun::NothingRun;
    ChromiumProcess process;
    if (!options.engineLog.isEmpty()) {
        QFile log(options.engineLog);
        if (!log.open(QIODevice::Append)) {
            err << program << ": cannot write " << options.engineLog << ": " << log.errorString() << Qt::endl;
            return BatchRun::NothingRun;
        }
        process.setLogFile(options.engineLog);
    }
    ChromiumBrowser engine(process, options.engine);
    QtEventPump pump;
    // Each page loads a row of its own, all in one engine.
    std::vector<std::unique_ptr<ChromiumPage>> chromiumPages;
    QList<IPage *> pages;
    for (int i = 0; i < options.jobs; ++i) {
        chromiumPages.push_back(std::make_unique<ChromiumPage>(engine));
        pages.append(chromiumPages.back().get());
    }
    // Sitemaps, feeds and robots.txt files are fetched by a page of their own.
    std::unique_ptr<ChromiumPage> fetchPage;
    if (!options.webSources.isEmpty() || options.robots)
        fetchPage = std::make_unique<ChromiumPage>(engine);
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    std::optional<ProgressLine> progress;
    if (!options.quiet && ::isatty(STDERR_FILENO))
        progress.emplace(err);
    QFile reportFile;
    if (!options.report.isEmpty() && !openReport(options.report, reportFile)) {
        err << program << ": cannot write " << options.report << ": " << reportFile.errorString() << Qt::endl;
        return BatchRun::NothingRun;
    }
    // With the report or the texts on standard output, the row lines go to standard error.
    const bool outTaken = options.report == QLatin1String("-") || options.toStandardOutput || options.spider;
    if (!options.folderGiven)
        options.folder = QDir::currentPath();
    BatchRun batch(options, pages, pump, outTaken ? err : out, err);
    if (reportFile.isOpen())
        batch.setReport(&reportFile);
    QFile textFile;
    std::optional<OrderedOutput> texts;
    if (options.toStandardOutput) {
        textFile.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
        texts.emplace(textFile);
        batch.setTextOutput(&*texts);
    }
    // Nobody reads standard output any more: the run ends as SIGPIPE would end it.
    ClosedOutputWatch outputWatch(STDOUT_FILENO, [&engine] {
        engine.shutdown();
        std::fflush(nullptr);
        _exit(128 + SIGPIPE);
    });
    outputWatch.start();
    batch.setOutputWatch(&outputWatch);
    batch.setStandardInput(&input);
    batch.setFetchPage(fetchPage.get());
    if (options.spider)
        batch.setFoundList(&out);
    batch.setProgressLine(progress ? &*progress : nullptr);
    TerminationSignals::install([&batch, &engine] {
        batch.printStoppedBySignal();
        engine.shutdown();
    });
    const int status = batch.run();
    if (!saveCookies(options, engine, program, err))
        return std::max(status, int(BatchRun::SomeFailed));
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    openClosedStandardDescriptors();
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    const BatchCommandLine::Parsed parsed = BatchCommandLine::parse(
        application.arguments(), BatchConfigFile::defaultPath(QProcessEnvironment::systemEnvironment()));
    if (!parsed.error.isEmpty()) {
        err << BatchCommandLine::usageError(program, parsed.error) << Qt::flush;
        return BatchRun::NothingRun;
    }
    switch (parsed.request) {
    case BatchCommandLine::Request::Help: out << BatchCommandLine::help(program); return BatchRun::AllSaved;
    case BatchCommandLine::Request::Version:
        out << "textorin-batch " TEXTORIN_VERSION << Qt::endl;
        return BatchRun::AllSaved;
    case BatchCommandLine::Request::Run: break;
    }
    return run(parsed.options, program, out, err);
}
