#include "fakes/TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Resources = QStringLiteral(TEXTORIN_SOURCE_DIR "/resources");
const QString BuiltResources = QStringLiteral(TEXTORIN_BINARY_DIR "/resources");

struct Output {
    int exitCode = -1;
    QString out;
    QString err;
};

Output run(const QString &program, const QStringList &arguments, const QProcessEnvironment &extra = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Every option a program's --help lists, short and long.
QSet<QString> helpOptions(const QString &program)
{
    QSet<QString> options;
    const QRegularExpression line(QStringLiteral("^  (-\\w, )?((--[\\w-]+, )*--[\\w-]+)"),
                                  QRegularExpression::MultilineOption);
    const QString help = run(program, {QStringLiteral("--help")}).out;
    for (auto match = line.globalMatch(help); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        for (const QString &name : found.captured(2).split(QStringLiteral(", ")))
            options << name;
        if (found.hasCaptured(1))
            options << found.captured(1).left(2);
    }
    return options;
}

// The option as the manual's source spells it, every hyphen escaped.
QString roffSpelling(const QString &option)
{
    return QString(option).replace(QLatin1Char('-'), QStringLiteral("\\-"));
}

// What bash's completion for textorin-batch offers after the words.
QStringList bashCompletions(const QStringList &words, const QString &folder)
{
    const QString script =
        QStringLiteral("source /usr/share/bash-completion/bash_completion || exit 3\n"
                       "source %1/completions/textorin-batch.bash || exit 4\n"
                       "cd %2\n"
                       "COMP_WORDS=(textorin-batch \"$@\"); COMP_CWORD=$#\n"
                       "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"
                       "_textorin_batch textorin-batch \"${@: -1}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
                       "printf '%s\\n' \"${COMPREPLY[@]}\"\n")
            .arg(Resources, folder);
    const Output output =
        run(QStringLiteral("bash"), QStringList{QStringLiteral("-c"), script, QStringLiteral("bash")} + words);
    if (output.exitCode != 0 || !output.err.isEmpty())
        return {QStringLiteral("<failed: %1 %2>").arg(output.exitCode).arg(output.err)};
    QStringList offered = output.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    offered.sort();
    return offered;
}

} // namespace

class TestInstalledFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manualsRenderWithoutWarnings();
    void everyOptionIsInTheManualsAndCompletions();
    void bashCompletesOptionsAndTheirValues();
    void metainfoAndDesktopEntryValidate();
    void batchProgramNeedsNoGuiLibraries();
};

void TestInstalledFiles::manualsRenderWithoutWarnings()
{
    for (const QString &page : {QStringLiteral("textorin"), QStringLiteral("textorin-batch")}) {
        QProcessEnvironment width;
        width.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        const Output output = run(QStringLiteral("man"),
                                  {QStringLiteral("--warnings"), QStringLiteral("-l"),
                                   BuiltResources + QLatin1Char('/') + page + QStringLiteral(".1.gz")},
                                  width);
        QCOMPARE(output.err, QString());
        QCOMPARE(output.exitCode, 0);
        for (const char *heading : {"NAME", "SYNOPSIS", "OPTIONS", "FILE NAMES", "FILES", "EXIT STATUS", "EXAMPLES"})
            QVERIFY2(output.out.contains(QLatin1String("\n") + QLatin1String(heading) + QLatin1String("\n")),
                     qPrintable(page + QStringLiteral(": ") + QLatin1String(heading)));
        QVERIFY(output.out.contains(QStringLiteral("Textorin " TEXTORIN_VERSION)));
    }
}

void TestInstalledFiles::everyOptionIsInTheManualsAndCompletions()
{
    const QSet<QString> window = helpOptions(QStringLiteral(TEXTORIN_APP_PATH));
    QCOMPARE(window, (QSet<QString>{QStringLiteral("--version"), QStringLiteral("--help"), QStringLiteral("-h")}));
    const QString windowManual = QString::fromUtf8(readTestFile(Resources + QStringLiteral("/man/textorin.1.in")));
    for (const QString &option : window)
        QVERIFY2(windowManual.contains(roffSpelling(option)), qPrintable(option));

    const QSet<QString> batch = helpOptions(QStringLiteral(TEXTORIN_BATCH_PATH));
    QVERIFY2(batch.size() > 20 && batch.contains(QStringLiteral("-j")),
             qPrintable(QStringList(batch.values()).join(' ')));
    const QString manual = QString::fromUtf8(readTestFile(Resources + QStringLiteral("/man/textorin-batch.1.in")));
    const QString zsh = QString::fromUtf8(readTestFile(Resources + QStringLiteral("/completions/_textorin-batch")));
    const QString fish =
        QString::fromUtf8(readTestFile(Resources + QStringLiteral("/completions/textorin-batch.fish")));
    for (const QString &option : batch) {
        QVERIFY2(manual.contains(roffSpelling(option)), qPrintable(QStringLiteral("manual: ") + option));
        QVERIFY2(zsh.contains(option), qPrintable(QStringLiteral("zsh: ") + option));
        const QString fishFlag = option.startsWith(QStringLiteral("--")) ? QStringLiteral("-l ") + option.mid(2)
                                                                         : QStringLiteral("-s ") + option.mid(1);
        QVERIFY2(fish.contains(fishFlag + QLatin1Char(' ')) || fish.endsWith(fishFlag + QLatin1Char('\n')),
                 qPrintable(QStringLiteral("fish: ") + option));
    }
    const QStringList offered = bashCompletions({QStringLiteral("-")}, QDir::tempPath());
    QStringList expected(batch.begin(), batch.end());
    expected.sort();
    QCOMPARE(offered, expected);
}

void TestInstalledFiles::bashCompletesOptionsAndTheirValues()
{
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("pages")));
    QVERIFY(writeTestFile(folder.path() + QStringLiteral("/pages.txt")));

    QCOMPARE(bashCompletions({QStringLiteral("--form")}, folder.path()), QStringList{QStringLiteral("--format")});
    QCOMPARE(bashCompletions({QStringLiteral("--format"), QString()}, folder.path()),
             (QStringList{QStringLiteral("html"), QStringLiteral("json"), QStringLiteral("markdown"),
                          QStringLiteral("text")}));
    QCOMPARE(bashCompletions({QStringLiteral("--folder"), QStringLiteral("pa")}, folder.path()),
             QStringList{QStringLiteral("pages")});
    QCOMPARE(bashCompletions({QStringLiteral("-j"), QString()}, folder.path()), QStringList());
    QCOMPARE(bashCompletions({QStringLiteral("-q"), QStringLiteral("pa")}, folder.path()),
             (QStringList{QStringLiteral("pages"), QStringLiteral("pages.txt")}));
}

void TestInstalledFiles::metainfoAndDesktopEntryValidate()
{
    const QString metainfo = BuiltResources + QStringLiteral("/" TEXTORIN_APP_ID ".metainfo.xml");
    const Output appstream =
        run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    QVERIFY2(appstream.exitCode == 0
                 && !appstream.out.contains(
                     QRegularExpression(QStringLiteral("^[EW]:"), QRegularExpression::MultilineOption)),
             qPrintable(appstream.out + appstream.err));
    const QString text = QString::fromUtf8(readTestFile(metainfo));
    QVERIFY(text.contains(QStringLiteral("<release version=\"" TEXTORIN_VERSION "\"")));
    QVERIFY(text.contains(QStringLiteral("<project_license>Apache-2.0</project_license>")));
    QVERIFY(text.contains(QStringLiteral("<launchable type=\"desktop-id\">" TEXTORIN_APP_ID ".desktop<")));

    // The validator reads the entry under the name it is installed with.
    QTemporaryDir folder;
    const QString entry = folder.filePath(QStringLiteral(TEXTORIN_APP_ID ".desktop"));
    QVERIFY(QFile::copy(Resources + QStringLiteral("/textorin.desktop"), entry));
    const Output desktop = run(QStringLiteral("desktop-file-validate"), {entry});
    QCOMPARE(desktop.out + desktop.err, QString());
    QCOMPARE(desktop.exitCode, 0);
}

void TestInstalledFiles::batchProgramNeedsNoGuiLibraries()
{
    const Output ldd = run(QStringLiteral("ldd"), {QStringLiteral(TEXTORIN_BATCH_PATH)});
    QCOMPARE(ldd.exitCode, 0);
    QVERIFY(ldd.out.contains(QStringLiteral("libQt6Core")));
    for (const char *library : {"libQt6Gui", "libQt6Widgets"})
        QVERIFY2(!ldd.out.contains(QLatin1String(library)), library);
}

QTEST_GUILESS_MAIN(TestInstalledFiles)
#include "tst_InstalledFiles.moc"
