#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The processes this program started, directly or through its children
// (the browser engine's helpers, a console command still running).
namespace ChildProcesses {

// What /proc/<pid>/stat says of a process.
struct Stat {
    char state = 0; // 'R', 'S', … ; 'Z' for a zombie
    int parent = 0;
    int group = 0; // the process group
};
// Nothing for a process that is gone.
std::optional<Stat> stat(int pid);
// Running or asleep: neither gone nor a zombie.
bool isAlive(int pid);

// The process's children, theirs and so on, read from its own tree
// (/proc/PID/task/TID/children); only a kernel without those files has every
// process of the system looked at instead.
QList<int> descendants(int pid);
// The process's file NAME in /proc (stat, cmdline, …); empty once it is gone.
QByteArray procFile(int pid, const char *name);
// The files of /proc read so far, by this program's process bookkeeping (a
// walk of every process counts as one).
quint64 procReads();
// The members of the process group that are alive.
QList<int> aliveInGroup(int group);
// Ends every descendant of this process.
void endAll();

} // namespace ChildProcesses
