#pragma once

#include <QObject>
#include <QTimer>

// Samples the proportional set size (PSS) of the engine's renderer processes
// every 250 ms while the engine runs and rows load in it, and kills a renderer
// that passes the cap; a sample reads the engine's own processes only. Each
// page has a browser context, and so renderers, of its own: the cap is a page's.
class RendererMemoryWatch : public QObject
{
    Q_OBJECT

public:
    explicit RendererMemoryWatch(QObject *parent = nullptr);

    // In bytes; 0 watches nothing.
    void setCap(qint64 bytes);
    void start(int enginePid);
    void stop();
    // Whether rows load in the engine: with none, nothing is sampled.
    void setRowsLoading(bool loading);
    bool isSampling() const { return m_timer.isActive(); }

    // The process's PSS in bytes, from /proc/PID/smaps_rollup; -1 when unknown.
    static qint64 pssBytes(int pid);

Q_SIGNALS:
    // The renderer `pid` was killed with SIGKILL, having used `pssBytes`.
    void killed(qint64 pid, qint64 pssBytes);

private:
    void sample();
    void update();

    QTimer m_timer;
    int m_engine = 0;
    qint64 m_cap = 0;
    bool m_rowsLoading = false;
};
