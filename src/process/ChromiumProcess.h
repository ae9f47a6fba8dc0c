#pragma once

#include "engine/IEngineProcess.h"
#include "process/RendererMemoryWatch.h"

#include <QProcess>

class QSocketNotifier;

// Chromium as a child process in a process group of its own, with its DevTools
// pipe on descriptors 3 (commands in) and 4 (replies out). It dies with this
// process and with the termination signals (see TerminationSignals); however it
// ends, its whole group is killed and awaited. Its renderers are held to the
// memory cap while rows load (see RendererMemoryWatch).
class ChromiumProcess : public IEngineProcess
{
    Q_OBJECT

public:
    explicit ChromiumProcess(QObject *parent = nullptr);
    ~ChromiumProcess() override;

    bool start(const QString &program, const QStringList &arguments, const QStringList &environment,
               QString *error) override;
    bool isRunning() const override;
    void write(const QByteArray &bytes) override;
    void stop() override;
    void setRendererMemoryCap(qint64 bytes) override { m_memoryWatch.setCap(bytes); }
    void setRowsLoading(int rows) override { m_memoryWatch.setRowsLoading(rows > 0); }

    // The file the engine's standard error is appended to from its next start;
    // empty (the default) is TEXTORIN_ENGINE_LOG's, or none: it is discarded.
    void setLogFile(const QString &path) { m_logFile = path; }

    qint64 processId() const { return m_process.processId(); }
    const RendererMemoryWatch &memoryWatch() const { return m_memoryWatch; }

private:
    void readReplies();
    void flush();
    void closePipe();
    void lost(const QString &reason);
    void endGroup();

    QProcess m_process;
    RendererMemoryWatch m_memoryWatch;
    int m_group = 0; // the engine's process group, valid after its leader died
    int m_commandFd = -1;
    int m_replyFd = -1;
    QSocketNotifier *m_replyNotifier = nullptr;
    QSocketNotifier *m_commandNotifier = nullptr;
    QByteArray m_unsent;
    QString m_logFile;
    bool m_stopping = false;
};
