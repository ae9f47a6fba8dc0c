#pragma once

#include <QString>

// The modal boxes the program shows. Captions default to the application title.
class IMessageBoxes
{
public:
    virtual ~IMessageBoxes() = default;

    // OK only, no icon, the application title as caption.
    virtual void information(const QString &text) = 0;
    // OK only, no icon: the text, a line under it, and details the user may open.
    virtual void summary(const QString &text, const QString &informative, const QString &details)
    {
        Q_UNUSED(informative)
        Q_UNUSED(details)
        information(text);
    }
    // As information, its text selectable (to copy a part of it).
    virtual void selectableInformation(const QString &text) { information(text); }
    // OK only, warning icon, the given caption.
    virtual void warning(const QString &caption, const QString &text) = 0;
    // Prompt with OK and Cancel and an empty default; Cancel or closing gives "".
    virtual QString inputBox(const QString &prompt) = 0;
};
