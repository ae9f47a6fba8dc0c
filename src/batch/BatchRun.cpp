#include "batch/BatchRun.h"

#include "batch/ChunkMessageBoxes.h"
#include "batch/ConsoleMessageBoxes.h"
#include "batch/ConsoleRunView.h"
#include "batch/ListRows.h"
#include "capture/CaptureRun.h"
#include "capture/OutputNames.h"
#include "engine/IBrowser.h"
#include "support/IEventPump.h"
#include "support/PathHelpers.h"
#include "urllist/UrlListModel.h"

namespace {

// The text a chunk holds at most, so that a chunk of long rows stays small.
constexpr qsizetype MaxChunkChars = 8 * 1024 * 1024;

// The first characters of a row too long to show, unprintable ones replaced.
QString addressStart(const QString &text)
{
    constexpr qsizetype Shown = 80;
    qsizetype size = qMin(text.size(), Shown);
    if (size > 0 && size < text.size() && text.at(size - 1).isHighSurrogate())
        --size;
    QString start = text.left(size);
    for (QChar &character : start) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return start + QStringLiteral("…");
}

} // namespace

BatchRun::BatchRun(IBrowser &browser, IEventPump &pump, QTextStream &out, QTextStream &err)
    : m_browser(browser), m_pump(pump), m_out(out), m_err(err)
{
}

QString BatchRun::usage(const QString &program)
{
    return QStringLiteral(
               "Usage: %1 [--folder DIR] [--timeout SECONDS] [--settle SECONDS]\n"
               "       [--window-size WxH] LISTFILE...\n"
               "\n"
               "Loads every address listed in the LISTFILEs in a hidden browser engine and saves\n"
               "the text of each page's body as one .txt file in DIR, named after the address,\n"
               "exactly as the Textorin window does.\n"
               "\n"
               "  LISTFILE      a text file with one address per line (CR LF, CR or LF line\n"
               "                ends); \"-\" reads the list from standard input. Blank lines are\n"
               "                skipped and counted. Lists are read as the run goes and may be of\n"
               "                any length; a line over 2 MiB fails as \"address too long\".\n"
               "  --folder DIR  the destination folder; by default the folder the window uses\n"
               "                (its stored \"Download Location\").\n"
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
               "  --help        shows this text.\n"
               "\n"
               "One progress line per address goes to standard output, \"[ROW/TOTAL]\" (\"?\" for\n"
               "the total until the lists are counted), each error report to standard error,\n"
               "then \"Done.\" and a summary of saved, failed and skipped rows.\n"
               "A page that cannot be had (no answer, an HTTP error, a download, a time-out)\n"
               "writes no file. The browser engine is Debian's chromium, run headless.\n"
               "\n"
               "Exit status: 0 every row was saved; 1 some row failed; 2 bad usage, a missing\n"
               "list file, an empty list, an unusable folder or no browser engine.\n")
        .arg(program);
}

void BatchRun::printRow(qint64 row, qint64 total, const QString &url, bool saved,
                        const QString &outputPath, const QString &note)
{
    m_out << '[' << row << '/' << (total < 0 ? QStringLiteral("?") : QString::number(total)) << "] "
          << (saved ? "saved " : "FAILED ") << url;
    if (saved)
        m_out << " -> " << outputPath;
    if (!note.isEmpty())
        m_out << " (" << note << ')';
    m_out << Qt::endl;
}

int BatchRun::run(const QStringList &listFiles, const QString &folder)
{
    // Every list is checked before any row runs.
    for (const QString &listFile : listFiles) {
        const QString problem = ListRows::problem(listFile);
        if (!problem.isEmpty()) {
            m_err << problem << Qt::endl;
            return NothingRun;
        }
    }
    ListRows rows(listFiles, m_stdin, m_err);
    rows.setAfterRead([this] { m_pump.processPendingEvents(); });
    ListRows::Row row;
    bool more = rows.next(row);
    if (!more) {
        m_err << "No files added." << Qt::endl;
        return NothingRun;
    }
    if (!IsFolder(folder)) {
        m_err << "Folder does not exist. Please select another folder." << Qt::endl;
        return NothingRun;
    }
    const QString unavailable = m_browser.unavailableReason();
    if (!unavailable.isEmpty()) {
        m_err << unavailable << Qt::endl;
        return NothingRun;
    }

    UrlListModel list;
    ConsoleRunView view(folder);
    ConsoleMessageBoxes console(m_out, m_err);
    ChunkMessageBoxes boxes(console);
    CaptureRun capture(view, list, boxes, m_browser, m_pump);
    // Names are reserved over the whole list, not per chunk.
    OutputNames names;
    capture.setOutputNames(&names);
    if (m_rowWaitLimitMs > 0)
        capture.setWaitLimit(std::chrono::milliseconds(m_rowWaitLimitMs));
    qint64 before = 0;   // rows of the chunks before this one
    qint64 reported = 0; // rows of this chunk the run has finished
    capture.setRowObserver([&](qint64 chunkRow, const QString &url, CaptureRun::RowOutcome outcome,
                               const QString &outputPath, const QString &note) {
        ++reported;
        printRow(before + chunkRow, rows.total(), url, outcome == CaptureRun::RowOutcome::Saved,
                 outputPath, note);
    });

    qint64 saved = 0;
    qint64 failed = 0;
    // Once a run ends short of its rows (no engine, no folder), no further row is loaded.
    bool loading = true;
    while (more) {
        QStringList chunk;
        qsizetype chunkChars = 0;
        while (more && !row.tooLong && chunk.size() < m_chunkRows && chunkChars < MaxChunkChars) {
            chunkChars += row.text.size();
            chunk.append(std::move(row.text));
            more = rows.next(row);
        }
        if (!chunk.isEmpty()) {
            reported = 0;
            if (loading) {
                list.clear();
                list.appendRows(chunk);
                capture.start();
                saved += capture.lastSummary().saved;
                failed += capture.lastSummary().failed;
                loading = reported == chunk.size() && m_browser.unavailableReason().isEmpty();
            }
            for (qint64 index = reported; index < chunk.size(); ++index) {
                ++failed;
                printRow(before + index + 1, rows.total(), chunk.at(index), false);
            }
            before += chunk.size();
        }
        // A row too long never reaches the engine.
        if (more && row.tooLong) {
            ++before;
            ++failed;
            const QString start = addressStart(row.text);
            m_err << "Row " << before << ": address too long (more than 2 MiB): " << start << Qt::endl;
            printRow(before, rows.total(), start, false, {}, QStringLiteral("address too long"));
            more = rows.next(row);
        }
    }

    console.information(QStringLiteral("Done."));
    m_out << "Saved " << saved << ", failed " << failed << ", skipped " << rows.skipped() << '.'
          << Qt::endl;
    return failed == 0 && !rows.readFailed() ? AllSaved : SomeFailed;
}
