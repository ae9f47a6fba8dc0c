#include "process/ChildProcesses.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <unistd.h>

#include <csignal>

namespace {

// Calls `visit` with every process and what its stat says.
template <typename Visit> void forEachProcess(Visit visit)
{
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

} // namespace

std::optional<ChildProcesses::Stat> ChildProcesses::stat(int pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "pid (command) state parent group …"; the command may hold spaces and parentheses.
    const QByteArray line = file.readAll();
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
    const QMultiHash<int, int> children = childrenByParent();
    QList<int> result;
    QList<int> pending{pid};
    while (!pending.isEmpty()) {
        const QList<int> direct = children.values(pending.takeLast());
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
