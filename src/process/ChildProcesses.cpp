#include "process/ChildProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace {

std::atomic<quint64> readsOfProc{0};

QByteArray readProcFile(const QString &path)
{
    ++readsOfProc;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Calls `visit` with every process and what its stat says.
template <typename Visit> void forEachProcess(Visit visit)
{
    ++readsOfProc;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        if (const auto stat = ChildProcesses::stat(pid))
            visit(pid, *stat);
    }
}

// Every process's children, by parent.
QMultiHash<int, int> childrenByParent()
{
    QMultiHash<int, int> children;
    forEachProcess([&children](int pid, const ChildProcesses::Stat &stat) { children.insert(stat.parent, pid); });
    return children;
}

// The direct children of every thread of the process.
QList<int> childrenOf(int pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task/").arg(pid);
    ++readsOfProc;
    QList<int> children;
    for (const QString &thread : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray line = readProcFile(tasks + thread + QStringLiteral("/children"));
        for (const QByteArray &child : line.simplified().split(' ')) {
            if (!child.isEmpty())
                children.append(child.toInt());
        }
    }
    return children;
}

bool kernelListsChildren()
{
    static const bool lists = QFileInfo::exists(QStringLiteral("/proc/thread-self/children"));
    return lists;
}

} // namespace

QByteArray ChildProcesses::procFile(int pid, const char *name)
{
    return readProcFile(QStringLiteral("/proc/%1/").arg(pid) + QLatin1String(name));
}

quint64 ChildProcesses::procReads()
{
    return readsOfProc;
}

std::optional<ChildProcesses::Stat> ChildProcesses::stat(int pid)
{
    // "pid (command) state parent group …"; the command may hold spaces and parentheses.
    const QByteArray line = procFile(pid, "stat");
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 3 || fields.at(0).size() != 1)
        return std::nullopt;
    return Stat{fields.at(0).at(0), fields.at(1).toInt(), fields.at(2).toInt()};
}

bool ChildProcesses::isAlive(int pid)
{
    const std::optional<Stat> found = stat(pid);
    return found && found->state != 'Z';
}

QList<int> ChildProcesses::descendants(int pid)
{
    const QMultiHash<int, int> everyProcess = kernelListsChildren() ? QMultiHash<int, int>() : childrenByParent();
    QList<int> result;
    QList<int> pending{pid};
    while (!pending.isEmpty()) {
        const int parent = pending.takeLast();
        const QList<int> direct = kernelListsChildren() ? childrenOf(parent) : everyProcess.values(parent);
        result += direct;
        pending += direct;
    }
    return result;
}

QList<int> ChildProcesses::aliveInGroup(int group)
{
    QList<int> members;
    forEachProcess([group, &members](int pid, const Stat &stat) {
        if (stat.group == group && stat.state != 'Z')
            members.append(pid);
    });
    return members;
}

void ChildProcesses::endAll()
{
    for (int pid : descendants(int(getpid())))
        ::kill(pid, SIGKILL);
}
