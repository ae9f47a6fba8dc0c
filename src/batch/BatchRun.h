#pragma once

#include <QStringList>
#include <QTextStream>

class IBrowser;
class IEventPump;
class QIODevice;

// Saves the pages of list files without a window, as the start button does.
// The lists are read as the run goes, in chunks of rows, so that they may be
// of any length.
class BatchRun
{
public:
    enum ExitCode { AllSaved = 0, SomeFailed = 1, NothingRun = 2 };

    BatchRun(IBrowser &browser, IEventPump &pump, QTextStream &out, QTextStream &err);

    // Reads standard input for the list file "-"; without one, "-" is an empty list.
    void setStandardInput(QIODevice *input) { m_stdin = input; }
    // The longest wait for one row; the browser normally ends it sooner.
    void setRowWaitLimit(int milliseconds) { m_rowWaitLimitMs = milliseconds; }
    // The most rows one capture run takes.
    void setChunkRows(int rows) { m_chunkRows = qMax(rows, 1); }
    int run(const QStringList &listFiles, const QString &folder);

    static QString usage(const QString &program);

private:
    void printRow(qint64 row, qint64 total, const QString &url, bool saved,
                  const QString &outputPath = {}, const QString &note = {});

    IBrowser &m_browser;
    IEventPump &m_pump;
    QTextStream &m_out;
    QTextStream &m_err;
    QIODevice *m_stdin = nullptr;
    int m_rowWaitLimitMs = 0;
    int m_chunkRows = 500;
};
