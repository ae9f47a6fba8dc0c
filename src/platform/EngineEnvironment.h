#pragma once

// Process-wide settings of the browser engine; call before the Qt application exists.
namespace EngineEnvironment {

// Turns Chromium's sandbox off when running as root (it cannot run there),
// keeps the engine from reaching out on its own, and shares GL contexts.
void prepare();
// True when the process runs as the root user.
bool runningAsRoot();

} // namespace EngineEnvironment
