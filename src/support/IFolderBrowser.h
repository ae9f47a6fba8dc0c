#pragma once

#include <QString>

// The folder browser: modal over the main window, the prompt shown, the start
// folder preselected, only folders can be confirmed.
class IFolderBrowser
{
public:
    virtual ~IFolderBrowser() = default;

    // The confirmed folder's path ("/" for the root, others without a trailing
    // separator), or empty text when the user cancels.
    virtual QString browseForFolder(const QString &prompt, const QString &startPath) = 0;
};
