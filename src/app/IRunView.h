#pragma once

#include <QString>

// What a capture run and the folder choice need of the window: its pointer,
// its folder box and its progress bar.
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
};
