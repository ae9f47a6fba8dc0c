#pragma once

#include <QString>

class IEventPump;

// Runs a console command line as a hidden child with standard input closed and
// returns what it wrote to the chosen streams. Pending events are served while
// the child runs; the call returns once the child's output has ended.
QString CaptureCommandOutput(const QString &commandLine, bool captureStandardOutput = true,
                             bool captureStandardError = false, bool convertFromConsole = true,
                             IEventPump *pump = nullptr);

inline const QString CreateProcessFailedText =
    QStringLiteral("Failed to create process, check the path of the command line.");
