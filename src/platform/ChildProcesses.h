#pragma once

#include <QList>

// The processes this program started, directly or through its children
// (the browser engine's helpers, a console command still running).
namespace ChildProcesses {

QList<int> descendants(int pid);
// Ends every descendant of this process.
void endAll();

} // namespace ChildProcesses
