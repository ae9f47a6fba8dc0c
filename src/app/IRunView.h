#pragma once

#include <QString>

// What a capture run and the folder choice need of the window: its pointer,
// its folder box, its progress bar, the list's scrolling and what its controls
// allow during a run.
class IRunView
{
public:
    virtual ~IRunView() = default;

    virtual int mousePointer() const = 0;
    virtual void setMousePointer(int value) = 0;

    // The folder box; setting its text raises its change handling.
    virtual QString folderText() const = 0;
    virtual void setFolderText(const QString &text) = 0;

    virtual void setProgressValue(int value) = 0;
    virtual void setProgressCaption(const QString &caption) = 0;

    // Keeps the row being loaded in view unless the user scrolled away from the
    // one before; 0 as the run ends.
    virtual void showRow(int row) { Q_UNUSED(row) }

    // Idle: every control works; Running: the list cannot be cleared; Stopping:
    // nor can the start button be pressed until the run ends.
    enum class RunPhase { Idle, Running, Stopping };
    virtual void setRunPhase(RunPhase phase) { Q_UNUSED(phase) }
};
