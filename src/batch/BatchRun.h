#pragma once

#include <QStringList>
#include <QTextStream>

class IBrowser;
class IEventPump;
class QIODevice;

// Saves the pages of list files without a window, as the start button does.
class BatchRun
{
public:
    enum ExitCode { AllSaved = 0, SomeFailed = 1, NothingRun = 2 };

    BatchRun(IBrowser &browser, IEventPump &pump, QTextStream &out, QTextStream &err);

    // Reads standard input for the list file "-".
    void setStandardInput(QIODevice *input) { m_stdin = input; }
    // The longest wait for one row; the browser normally ends it sooner.
    void setRowWaitLimit(int milliseconds) { m_rowWaitLimitMs = milliseconds; }
    int run(const QStringList &listFiles, const QString &folder);

    static QString usage(const QString &program);

private:
    bool readRows(const QStringList &listFiles, QStringList &rows, int &skipped);

    IBrowser &m_browser;
    IEventPump &m_pump;
    QTextStream &m_out;
    QTextStream &m_err;
    QIODevice *m_stdin = nullptr;
    int m_rowWaitLimitMs = 0;
};
