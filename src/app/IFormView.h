#pragma once

#include "app/IRunView.h"

// The main window as start-up decorates it: caption, colours, pointer image, icon.
class IFormView : public IRunView
{
public:
    virtual void setCaption(const QString &caption) = 0;

    // Background colours as colour values; 0x8000000F is the button-face system colour.
    virtual void setBackColor(quint32 colour) = 0;
    // The frames, labels, check boxes and option buttons of the window.
    virtual void setPlainControlsBackColor(quint32 colour) = 0;
    // Loads the custom pointer image (pointer 99) from a cursor file; raises when it cannot.
    virtual void loadMouseIcon(const QString &cursorFile) = 0;
    virtual void setProductIcon() = 0;
    virtual quintptr windowHandle() const = 0;
};

inline constexpr quint32 ButtonFaceColour = 0x8000000F;
