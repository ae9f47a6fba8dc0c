#include "process/RendererMemoryWatch.h"

#include "process/ChildProcesses.h"

#include <unistd.h>

#include <csignal>

namespace {

constexpr int SampleMs = 250;

bool isRenderer(int pid)
{
    // Zygote children rewrite their command line as one string of words.
    return ChildProcesses::procFile(pid, "cmdline").replace('\0', ' ').split(' ').contains("--type=renderer");
}

// Resident bytes, from /proc/PID/statm: cheap, and never less than the PSS,
// which takes a walk of the process's page tables.
qint64 residentBytes(int pid)
{
    const QList<QByteArray> fields = ChildProcesses::procFile(pid, "statm").split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

} // namespace

RendererMemoryWatch::RendererMemoryWatch(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(SampleMs);
    connect(&m_timer, &QTimer::timeout, this, &RendererMemoryWatch::sample);
}

void RendererMemoryWatch::setCap(qint64 bytes)
{
    m_cap = bytes;
    update();
}

void RendererMemoryWatch::start(int enginePid)
{
    m_engine = enginePid;
    update();
}

void RendererMemoryWatch::stop()
{
    m_engine = 0;
    update();
}

void RendererMemoryWatch::setRowsLoading(bool loading)
{
    m_rowsLoading = loading;
    update();
}

void RendererMemoryWatch::update()
{
    if (m_cap > 0 && m_engine > 0 && m_rowsLoading) {
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        m_timer.stop();
    }
}

qint64 RendererMemoryWatch::pssBytes(int pid)
{
    // "Pss:            123456 kB"
    for (const QByteArray &line : ChildProcesses::procFile(pid, "smaps_rollup").split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').constFirst().toLongLong() * 1024;
    }
    return -1;
}

void RendererMemoryWatch::sample()
{
    for (int pid : ChildProcesses::descendants(m_engine)) {
        if (residentBytes(pid) <= m_cap || !isRenderer(pid))
            continue;
        const qint64 used = pssBytes(pid);
        if (used <= m_cap)
            continue;
        ::kill(pid, SIGKILL);
        Q_EMIT killed(pid, used);
    }
}
