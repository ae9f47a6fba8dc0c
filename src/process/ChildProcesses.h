#pragma once

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

QList<int> descendants(int pid);
// The members of the process group that are alive.
QList<int> aliveInGroup(int group);
// Ends every descendant of this process.
void endAll();

} // namespace ChildProcesses
