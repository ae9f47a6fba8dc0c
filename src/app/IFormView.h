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

    // Background colours as colour values; 0x8000000F is the button-face system colour.
    virtual void setBackColor(quint32 colour) = 0;
    // The frames, labels, check boxes and option buttons of the window.
    virtual void setPlainControlsBackColor(quint32 colour) = 0;
    // Loads the custom pointer image (pointer 99) from a cursor file; raises when it cannot.
    virtual void loadMouseIcon(const QString &cursorFile) = 0;
    virtual bool hasMouseIcon() const = 0;
    virtual void setProductIcon() = 0;
    virtual quintptr windowHandle() const = 0;
};

inline constexpr quint32 ButtonFaceColour = 0x8000000F;
