#include "capture/BatchRun.h"
#include "platform/EngineEnvironment.h"
#include "platform/WebEngineBrowser.h"
#include "support/PathHelpers.h"
#include "support/QtEventPump.h"
#include "support/SettingsStore.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace {

QString storedFolder()
{
    QString fallback;
    try {
        fallback = DesktopFolderPath();
    } catch (...) {
    }
    return SettingsStore().read(SettingsKeys::DownloadLocation, fallback);
}

} // namespace

int main(int argc, char *argv[])
{
    // A run without a window never needs a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    EngineEnvironment::prepare();
    QGuiApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();

    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("DIR"));
    parser.addOption(help);
    parser.addOption(folder);
    if (!parser.parse(application.arguments())) {
        err << program << ": " << parser.errorText() << "\n\n" << BatchRun::usage(program);
        return BatchRun::NothingRun;
    }
    if (parser.isSet(help)) {
        out << BatchRun::usage(program);
        return BatchRun::AllSaved;
    }
    if (parser.positionalArguments().isEmpty()) {
        err << BatchRun::usage(program);
        return BatchRun::NothingRun;
    }

    WebEngineBrowser browser;
    QtEventPump pump;
    QFile input;
    input.open(stdin, QIODevice::ReadOnly);
    BatchRun batch(browser, pump, out, err);
    batch.setStandardInput(&input);
    const QString destination = parser.isSet(folder) ? parser.value(folder) : storedFolder();
    return batch.run(parser.positionalArguments(), destination);
}
