#include "batch/BatchRun.h"
#include "engine/ChromiumBrowser.h"
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
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption settle(QStringLiteral("settle"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption windowSize(QStringLiteral("window-size"), QString(), QStringLiteral("WxH"));
    parser.addOptions({help, folder, timeout, settle, windowSize});
    const auto usageError = [&](const QString &text) {
        err << program << ": " << text << "\n\n" << BatchRun::usage(program);
        return int(BatchRun::NothingRun);
    };
    if (!parser.parse(application.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        out << BatchRun::usage(program);
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
    if (parser.positionalArguments().isEmpty()) {
        err << BatchRun::usage(program);
        return BatchRun::NothingRun;
    }

    ChromiumProcess engine;
    ChromiumBrowser browser(engine, options);
    TerminationSignals::install([&browser] { browser.shutdown(); });
    QtEventPump pump;
    QObject::connect(&browser, &ChromiumBrowser::readyStateChanged, [&pump] { pump.wake(); });
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    BatchRun batch(browser, pump, out, err);
    batch.setStandardInput(&input);
    batch.setRowWaitLimit(options.longestRowMs());
    const QString destination = parser.isSet(folder) ? parser.value(folder) : storedFolder();
    return batch.run(parser.positionalArguments(), destination);
}
