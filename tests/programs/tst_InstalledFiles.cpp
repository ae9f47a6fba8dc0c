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
// textorin-batch's manual as built, its options and exit statuses put in from the option table.
const QString BatchManual = BuiltResources + QStringLiteral("/textorin-batch.1");

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
                       "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_LINE=${COMP_LINE// = /=}; COMP_POINT=${#COMP_LINE}\n"
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

// Types each line but its end into an interactive bash in a pseudo-terminal,
// with the completion loaded, presses Tab, and prints the line as completed
// (run as an echo of itself). Every wait ends after 30 s; bash's whole session
// is killed at the end.
const char *const TypedInATerminal = R"(
import os, pty, re, select, signal, sys, time
pid, fd = pty.fork()
if pid == 0:
    env = dict(os.environ, PS1='$ ', TERM='dumb', INPUTRC='/dev/null', HISTFILE='/dev/null')
    os.execvpe('bash', ['bash', '--norc', '--noprofile', '-i'], env)
seen = b''
def expect(pattern):
    global seen
    end = time.monotonic() + 30
    while time.monotonic() < end:
        found = re.search(pattern, seen, re.M)
        if found:
            seen = seen[found.end():]
            return found.group(1).decode().strip()
        if select.select([fd], [], [], 1)[0]:
            try:
                seen += os.read(fd, 4096)
            except OSError:
                break
    return '<no answer>'
try:
    os.write(fd, b'source /usr/share/bash-completion/bash_completion; source %s; echo READY:$((6*7))\n'
             % sys.argv[1].encode())
    print(expect(rb'^READY:(42)\r?$'))
    for typed in sys.argv[2:]:
        os.write(fd, typed.encode() + b'\t\x01echo LINE: \n')
        print(expect(rb'^LINE: (.*?)\r?$'))
finally:
    os.killpg(pid, signal.SIGKILL)
    os.waitpid(pid, 0)
)";

// The lines of `text` from the one starting with `from` up to the next starting with `to`.
QString section(const QString &text, const QString &from, const QString &to)
{
    const qsizetype start = text.indexOf(from);
    const qsizetype end = text.indexOf(to, start + from.size());
    return start < 0 ? QString() : text.mid(start, end < 0 ? -1 : end - start);
}

QSet<QString> matches(const QString &text, const QString &pattern)
{
    QSet<QString> found;
    for (auto match = QRegularExpression(pattern).globalMatch(text); match.hasNext();)
        found << match.next().captured(1).replace(QStringLiteral("\\-"), QStringLiteral("-"));
    return found;
}

// The options the manual's OPTIONS section heads its entries with (not the values listed inside one).
QSet<QString> manualOptions(const QString &manual)
{
    QSet<QString> options;
    int depth = 0;
    const QStringList lines = section(manual, QStringLiteral("\n.SH OPTIONS"), QStringLiteral("\n.SH ")).split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        depth += lines.at(i) == QLatin1String(".RS") ? 1 : lines.at(i) == QLatin1String(".RE") ? -1 : 0;
        if (depth == 0 && lines.at(i) == QLatin1String(".TP"))
            options += matches(lines.at(i + 1), QStringLiteral("(?<![\\w\\\\])((?:\\\\-){1,2}[\\w][\\w\\\\-]*)"));
    }
    return options;
}

// wget's spellings, which the parser reads and --help leaves out.
const QSet<QString> WgetSpellings{QStringLiteral("-np"), QStringLiteral("-nc")};

} // namespace

class TestInstalledFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manualsRenderWithoutWarnings();
    void everyOptionIsInTheManualsAndCompletions();
    void bashCompletesOptionsAndTheirValues();
    void bashCompletesWhatIsTypedInATerminal();
    void readmeManualAndHelpAgree();
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
    // The generated entries too: groff's own warnings, all of them.
    const Output groff = run(QStringLiteral("groff"),
                             {QStringLiteral("-man"), QStringLiteral("-ww"), QStringLiteral("-z"), BatchManual});
    QCOMPARE(groff.err, QString());
    QCOMPARE(groff.exitCode, 0);
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
    const QString manual = QString::fromUtf8(readTestFile(BatchManual));
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
             (QStringList{QStringLiteral("html"), QStringLiteral("json"), QStringLiteral("jsonl"),
                          QStringLiteral("markdown"), QStringLiteral("text")}));
    QCOMPARE(bashCompletions({QStringLiteral("--folder"), QStringLiteral("pa")}, folder.path()),
             QStringList{QStringLiteral("pages")});
    QCOMPARE(bashCompletions({QStringLiteral("-j"), QString()}, folder.path()), QStringList());
    QCOMPARE(bashCompletions({QStringLiteral("-q"), QStringLiteral("pa")}, folder.path()),
             (QStringList{QStringLiteral("pages"), QStringLiteral("pages.txt")}));
    // The types given before the last comma stay; --name=value completes the value; a sitemap may be a file.
    QCOMPARE(bashCompletions({QStringLiteral("--block"), QStringLiteral("images,me")}, folder.path()),
             QStringList{QStringLiteral("images,media")});
    QCOMPARE(bashCompletions({QStringLiteral("--format"), QStringLiteral("="), QStringLiteral("m")}, folder.path()),
             QStringList{QStringLiteral("markdown")});
    for (const char *option : {"--sitemap", "--engine-log"})
        QCOMPARE(bashCompletions({QLatin1String(option), QStringLiteral("pa")}, folder.path()),
                 (QStringList{QStringLiteral("pages"), QStringLiteral("pages.txt")}));
}

void TestInstalledFiles::bashCompletesWhatIsTypedInATerminal()
{
    const Output output = run(QStringLiteral("python3"),
                              {QStringLiteral("-c"), QLatin1String(TypedInATerminal),
                               Resources + QStringLiteral("/completions/textorin-batch.bash"),
                               QStringLiteral("textorin-batch --for"), QStringLiteral("textorin-batch --format=m")});
    QCOMPARE(output.err, QString());
    QCOMPARE(output.out, QStringLiteral("42\ntextorin-batch --format\ntextorin-batch --format=markdown\n"));
}

// README's option table, the manual and --help name the same options, JSON fields and exit statuses.
void TestInstalledFiles::readmeManualAndHelpAgree()
{
    const QString help = run(QStringLiteral(TEXTORIN_BATCH_PATH), {QStringLiteral("--help")}).out;
    const QString manual = QString::fromUtf8(readTestFile(BatchManual));
    const QString readme = QString::fromUtf8(readTestFile(QStringLiteral(TEXTORIN_SOURCE_DIR "/README.md")));

    const QSet<QString> options = helpOptions(QStringLiteral(TEXTORIN_BATCH_PATH));
    QCOMPARE(manualOptions(manual), options);
    const QString table = section(readme, QStringLiteral("| option | what it does |"), QStringLiteral("\n\n"));
    const QSet<QString> tabled = matches(table, QStringLiteral("(?:^|\\n)\\| [^|]*?`(-[\\w-]+)"))
        + matches(table, QStringLiteral("`, `(-[\\w-]+)"));
    QCOMPARE(tabled - WgetSpellings, options);

    const QString jsonHelp = section(help, QStringLiteral("json "), QStringLiteral("(")).simplified();
    const QSet<QString> fields = matches(jsonHelp, QStringLiteral("\\b([a-z]+(?:_[a-z]+)*)(?:,| and|$)"));
    QVERIFY2(fields.contains(QStringLiteral("content_type")) && fields.size() >= 8, qPrintable(jsonHelp));
    const QString manualJson = section(manual, QStringLiteral("\n.B json\n"), QStringLiteral("\n.RE"));
    const QString readmeJson = section(readme, QStringLiteral("- **json**:"), QStringLiteral("\n\n"));
    for (const QString &field : fields) {
        QVERIFY2(manualJson.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(field))),
                 qPrintable(QStringLiteral("manual: ") + field));
        QVERIFY2(readmeJson.contains(QLatin1Char('`') + field + QLatin1Char('`')),
                 qPrintable(QStringLiteral("README: ") + field));
    }

    const QSet<QString> statuses =
        matches(section(help, QStringLiteral("Exit status:"), QStringLiteral("\n\n")).simplified(),
                QStringLiteral("(?:: |; )(\\d+) "));
    QVERIFY2(statuses.contains(QStringLiteral("130")) && statuses.contains(QStringLiteral("143")),
             qPrintable(QStringList(statuses.values()).join(' ')));
    QCOMPARE(matches(section(manual, QStringLiteral("\n.SH EXIT STATUS"), QStringLiteral("\n.SH ")),
                     QStringLiteral("\\n\\.B (\\d+)\\n")),
             statuses);
    QCOMPARE(matches(section(readme, QStringLiteral("| status | meaning |"), QStringLiteral("\n\n")),
                     QStringLiteral("\\n\\| (\\d+) \\|")),
             statuses);
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
