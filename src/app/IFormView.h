#pragma once

#include <QString>

// What the main window's logic needs of the window itself.
class IFormView
{
public:
    virtual ~IFormView() = default;

    virtual int mousePointer() const = 0;
    virtual void setMousePointer(int value) = 0;

    // The folder box; setting its text raises its change handling.
    virtual QString folderText() const = 0;
    virtual void setFolderText(const QString &text) = 0;

    virtual int progressValue() const = 0;
    virtual void setProgressValue(int value) = 0;
    virtual QString progressCaption() const = 0;
    virtual void setProgressCaption(const QString &caption) = 0;

    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
};
