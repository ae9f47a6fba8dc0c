#pragma once

#include <functional>

// SIGINT, SIGTERM and SIGHUP end the engine's process groups at once, then run
// the clean-up given here from the event loop and end the program with status
// 128 + the signal's number.
namespace TerminationSignals {

void install(std::function<void()> cleanUp);
// Process groups ended by a termination signal (async-signal-safe bookkeeping).
void addGroup(int processGroup);
void removeGroup(int processGroup);

} // namespace TerminationSignals
