#include "batch/BatchHelp.h"

#include "capture/OutputFormat.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

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

const char *const Intro = "Loads every address given with -u, then every address listed in the LISTFILEs, in a hidden "
                          "browser engine and saves the text of each page's body as one .txt file in the current "
                          "directory (or DIR), named after the address, exactly as the Textorin window does.";

const char *const UrlArgument =
    "an argument with a scheme (http:, https:, file:) is an address, saved as -u saves it, unless a "
    "file has that name.";

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
    "minute, the time taken and left, the sitemap or feed being read, and the address loading. A page that cannot be "
    "had (no answer, "
    "an HTTP error, an image or other download, a time-out) writes no file; a PDF gives its text, "
    "plain text and JSON their body, XML its text. Ctrl-C (or SIGTERM) stops the run, "
    "printing \"Stopped by signal.\" and the summary so far; when nobody reads standard output any "
    "more (as after | head -1) the run ends at once with status 141. The browser engine is "
    "Debian's Chromium headless shell (TEXTORIN_CHROMIUM names another).";

const char *const ConfigFile =
    "Options can also stand in ~/.config/textorin/batch.conf ($XDG_CONFIG_HOME/textorin/batch.conf "
    "when XDG_CONFIG_HOME is set), one a line as on the command line, such as \"--cookies "
    "/home/me/cookies.txt\" or \"--format=markdown\": the value is the rest of the line, blanks "
    "included, quotes around it dropped and a leading ~/ the home folder; lines whose first "
    "character that is not blank is # are comments. The file is read first and the command line "
    "wins: its value replaces the file's, while -u, -i and --header add to the file's (a --header "
    "of the same name replaces the file's). --config FILE reads another file, --no-config none; "
    "an error names the file and its line.";

// Each exit status and what it means.
const std::pair<int, const char *> ExitStatuses[] = {
    {0, "every row was saved (or skipped)"},
    {1, "some row failed, or the archive or the report could not be written"},
    {2,
     "bad usage, a missing list file, an empty list, an unusable folder, no browser engine, or a sitemap or feed "
     "that cannot be read (a bad option or value is named on one line, an unknown option with the closest known "
     "one, as in \"Did you mean '--format'?\", followed by \"Try 'textorin-batch --help'.\")"},
    {130, "stopped by Ctrl-C (SIGINT)"},
    {141, "standard output was closed (nobody reads it any more)"},
    {143, "stopped by SIGTERM"},
};

// What each format's help adds to its description, by name.
const char *const FormatDetails[][2] = {
    {"text", "the text as a reader sees it"},
    {"markdown",
     "headings keep their text only; images are kept; a data table keeps its first row as header, a layout table "
     "becomes a list; every <pre> is a fenced block with its lines as shown; superscripts and subscripts stay "
     "inline <sup> and <sub>; links are made absolute; a part the converter fails on keeps its text"},
    {"html", "the document is the settled one, its on... handlers and javascript: links gone, its charset UTF-8"},
    {"json",
     "fetched is in UTC, ISO 8601; the addresses are without their user info; a field the page does not state is "
     "null, dates are ISO 8601 with the page's offset (a date alone stays a date), canonical is absolute, "
     "word_count and text_sha256 are of the text"},
};

// Each example's command line (%1 is the program) and what it does.
const char *const Examples[][2] = {
    {"%1 https://example.org/page", "one page, into the current directory"},
    {"%1 urls.txt", "every address of the list"},
    {"printf 'example.com\\n' | %1 -", "the list on standard input"},
    {"%1 -u example.com -u example.org", "two addresses without a scheme"},
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
    {"%1 -v urls.txt 2>run.log", "what each load did, and hints"},
    {"%1 --engine-log e.log urls.txt", "the engine's own diagnostics"},
    {"%1 --version", ""},
};

// Plain text as roff: hyphens and backslashes escaped.
QString roffEscaped(const QString &text)
{
    return QString(text)
        .replace(QLatin1Char('\\'), QStringLiteral("\\e"))
        .replace(QLatin1Char('-'), QStringLiteral("\\-"));
}

// A paragraph of the help as roff: quoted texts and option names bold, the
// placeholders italic, each sentence on a line of its own.
QString roffParagraph(const QString &text, const QStringList &placeholders)
{
    QStringList words{QStringLiteral("LISTFILE")};
    for (const QString &placeholder : placeholders)
        words << QRegularExpression::escape(placeholder);
    const QRegularExpression marked(
        QStringLiteral("\"([^\"]*)\"|(?<![\\w./\\\\-])(--?[A-Za-z][\\w-]*)|\\b(%1)(?=s?\\b)")
            .arg(words.join(QLatin1Char('|'))));
    QString roff;
    qsizetype done = 0;
    for (auto match = marked.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        roff += roffEscaped(text.mid(done, found.capturedStart() - done));
        if (found.hasCaptured(1))
            roff += QStringLiteral("\\(dq\\fB%1\\fR\\(dq").arg(roffEscaped(found.captured(1)));
        else if (found.hasCaptured(2))
            roff += QStringLiteral("\\fB%1\\fR").arg(roffEscaped(found.captured(2)));
        else
            roff += QStringLiteral("\\fI%1\\fR").arg(found.captured(3));
        done = found.capturedEnd();
    }
    roff += roffEscaped(text.mid(done));
    static const QRegularExpression sentenceEnd(QStringLiteral("(?<=\\.) (?=[A-Z]|\\\\f|\\\\\\(dq)"));
    roff.replace(sentenceEnd, QStringLiteral("\n"));
    if (roff.startsWith(QLatin1Char('.')) || roff.startsWith(QLatin1Char('\'')))
        roff.prepend(QStringLiteral("\\&"));
    return roff + QLatin1Char('\n');
}

// ".BR \-u ", " \-\-url " \fIURL\fR"", the head of an option's entry.
QString roffHead(const BatchCommandLine::Option &option)
{
    QStringList names;
    for (const QString &name : option.names)
        names << roffEscaped((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    if (names.size() == 1 && option.valueName.isEmpty())
        return QStringLiteral(".B ") + names.front() + QLatin1Char('\n');
    QString head = QStringLiteral(".BR ") + names.join(QStringLiteral(" \", \" "));
    if (option.valueName == QLatin1String("-"))
        head += QStringLiteral(" \" \\fB\\-\\fR\"");
    else if (!option.valueName.isEmpty())
        head += QStringLiteral(" \" \\fI%1\\fR\"")
                    .arg(roffEscaped(option.valueName).replace(QLatin1Char('\''), QStringLiteral("\\(aq")));
    return head + QLatin1Char('\n');
}

// The words of a value's name a text writes as they are, such as FILE, or K and N of K/N.
QStringList placeholdersOf(const QString &valueName)
{
    static const QRegularExpression word(QStringLiteral("^[A-Z]+$"));
    QStringList placeholders;
    for (const QString &part : valueName.split(QRegularExpression(QStringLiteral("\\W+")), Qt::SkipEmptyParts)) {
        if (word.match(part).hasMatch())
            placeholders << part;
    }
    return placeholders;
}

} // namespace

namespace BatchHelp {

QString text(const QString &program, const QList<BatchCommandLine::Option> &options)
{
    QString help = QStringLiteral("Usage: %1 [OPTION]... [URL|LISTFILE]...\n\n").arg(program);
    help += wrapped({}, 0, QLatin1String(Intro)) + QLatin1Char('\n');
    help += wrapped(QStringLiteral("  URL"), DescriptionColumn, QLatin1String(UrlArgument));
    help += wrapped(QStringLiteral("  LISTFILE"), DescriptionColumn, QLatin1String(ListFile));
    for (const BatchCommandLine::Option &option : options)
        help += optionHelp(option);
    help += QLatin1Char('\n') + wrapped({}, 0, QLatin1String(Output));
    help += QLatin1Char('\n') + wrapped({}, 0, QLatin1String(ConfigFile));
    help += QStringLiteral("\nExamples:\n");
    for (const auto &example : Examples) {
        const QString command = QStringLiteral("  ") + QString::fromUtf8(example[0]).arg(program);
        help += wrapped(command, ExampleCommentColumn, QString::fromUtf8(example[1]));
    }
    QStringList statuses;
    for (const auto &[code, meaning] : exitStatuses())
        statuses << QStringLiteral("%1 %2").arg(code).arg(meaning);
    const QString exitStatus = QStringLiteral("Exit status: ") + statuses.join(QStringLiteral("; ")) + QLatin1Char('.');
    return help + QLatin1Char('\n') + wrapped({}, 0, exitStatus);
}

QList<std::pair<int, QString>> exitStatuses()
{
    QList<std::pair<int, QString>> statuses;
    for (const auto &[code, meaning] : ExitStatuses)
        statuses.append({code, QString::fromUtf8(meaning)});
    return statuses;
}

QList<std::pair<QString, QString>> formatValues()
{
    QList<std::pair<QString, QString>> values;
    for (const OutputFormat &format : OutputFormat::all()) {
        const QString aliases = format.aliases.isEmpty()
            ? QString()
            : QStringLiteral(" (also ") + format.aliases.join(QStringLiteral(", ")) + QLatin1Char(')');
        QString help = QStringLiteral("%1, in %2 files%3").arg(format.description, format.extension, aliases);
        for (const auto &detail : FormatDetails) {
            if (format.name == QLatin1String(detail[0]))
                help += QStringLiteral("; ") + QString::fromUtf8(detail[1]);
        }
        values.append({format.name, help});
    }
    values.append({QStringLiteral("jsonl"),
                   QStringLiteral("the json records of all rows in one file, one a line (JSON Lines): records.jsonl "
                                  "in the folder, added to as rows end, in list order (no file of their own, -o and "
                                  "--no-clobber unused, the report's file null); with -O -, as json")});
    return values;
}

QString manualOptions(const QList<BatchCommandLine::Option> &options)
{
    QString roff;
    for (const BatchCommandLine::Option &option : options) {
        const QStringList placeholders = placeholdersOf(option.valueName);
        roff += QStringLiteral(".TP\n") + roffHead(option) + roffParagraph(option.description, placeholders);
        if (option.values.isEmpty())
            continue;
        roff += QStringLiteral(".RS\n");
        for (const auto &[value, help] : option.values)
            roff += QStringLiteral(".TP\n.B ") + roffEscaped(value) + QLatin1Char('\n') + roffParagraph(help, {});
        roff += QStringLiteral(".RE\n");
    }
    return roff;
}

QString manualExitStatuses()
{
    QString roff;
    for (const auto &[code, meaning] : exitStatuses())
        roff += QStringLiteral(".TP\n.B %1\n").arg(code) + roffParagraph(meaning + QLatin1Char('.'), {});
    return roff;
}

} // namespace BatchHelp
