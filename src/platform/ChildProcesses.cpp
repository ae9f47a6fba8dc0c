#include "platform/ChildProcesses.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <csignal>
#include <unistd.h>

namespace {

// Parent of every process, from /proc/<pid>/stat.
QMultiHash<int, int> childrenByParent()
{
    QMultiHash<int, int> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields.at(1).toInt(), pid);
    }
    return children;
}

} // namespace

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

void ChildProcesses::endAll()
{
    for (int pid : descendants(int(getpid())))
        ::kill(pid, SIGKILL);
}
