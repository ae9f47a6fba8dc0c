#pragma once

#include <QString>

// The modal boxes the program shows. Captions default to the application title.
class IMessageBoxes
{
public:
    virtual ~IMessageBoxes() = default;

    // OK only, no icon, the application title as caption.
    virtual void information(const QString &text) = 0;
    // OK only, warning icon, the given caption.
    virtual void warning(const QString &caption, const QString &text) = 0;
    // Prompt with OK and Cancel and an empty default; Cancel or closing gives "".
    virtual QString inputBox(const QString &prompt) = 0;
};
