#include "batch/BatchRun.h"

#include "capture/CaptureRun.h"
#include "engine/IBrowser.h"
#include "batch/ConsoleRunView.h"
#include "batch/ConsoleMessageBoxes.h"
#include "support/PathHelpers.h"
#include "urllist/SplitListLines.h"
#include "urllist/UrlListModel.h"

#include <QFile>

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
               "                skipped and counted.\n"
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
               "One progress line per address goes to standard output, each error report to\n"
               "standard error, then \"Done.\" and a summary of saved, failed and skipped rows.\n"
               "A page that cannot be had (no answer, an HTTP error, a download, a time-out)\n"
               "writes no file. The browser engine is Debian's chromium, run headless.\n"
               "\n"
               "Exit status: 0 every row was saved; 1 some row failed; 2 bad usage, a missing\n"
               "list file, an empty list, an unusable folder or no browser engine.\n")
        .arg(program);
}

bool BatchRun::readRows(const QStringList &listFiles, QStringList &rows, int &skipped)
{
    for (const QString &listFile : listFiles) {
        QByteArray bytes;
        if (listFile == QStringLiteral("-")) {
            if (m_stdin)
                bytes = m_stdin->readAll();
        } else {
            QFile file(listFile);
            if (!FileExists(listFile) || !file.open(QIODevice::ReadOnly)) {
                m_err << "File not found: " << listFile << Qt::endl;
                return false;
            }
            bytes = file.readAll();
        }
        for (const QString &row : SplitListLines(bytes)) {
            if (row.trimmed().isEmpty())
                ++skipped;
            else
                rows.append(row);
        }
    }
    return true;
}

int BatchRun::run(const QStringList &listFiles, const QString &folder)
{
    QStringList rows;
    int skipped = 0;
    if (!readRows(listFiles, rows, skipped))
        return NothingRun;
    if (rows.isEmpty()) {
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
    list.appendRows(rows);
    ConsoleRunView view(folder);
    ConsoleMessageBoxes boxes(m_out, m_err);
    CaptureRun capture(view, list, boxes, m_browser, m_pump);
    if (m_rowWaitLimitMs > 0)
        capture.setWaitLimit(std::chrono::milliseconds(m_rowWaitLimitMs));
    const qint64 total = rows.size();
    capture.setRowObserver([&](qint64 row, const QString &url, CaptureRun::RowOutcome outcome,
                               const QString &outputPath, const QString &note) {
        const bool saved = outcome == CaptureRun::RowOutcome::Saved;
        m_out << '[' << row << '/' << total << "] " << (saved ? "saved " : "FAILED ") << url;
        if (saved)
            m_out << " -> " << outputPath;
        if (!note.isEmpty())
            m_out << " (" << note << ')';
        m_out << Qt::endl;
    });
    capture.start();

    const CaptureRun::Summary summary = capture.lastSummary();
    m_out << "Saved " << summary.saved << ", failed " << summary.failed << ", skipped " << skipped
          << '.' << Qt::endl;
    return summary.failed == 0 ? AllSaved : SomeFailed;
}
