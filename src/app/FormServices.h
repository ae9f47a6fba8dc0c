#pragma once

#include "app/EngineSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class IPage;
class IEventPump;
class IFolderBrowser;
class IOpenFileDialog;
class IMessageBoxes;
class ISkinEngine;
class SettingsStore;

// The platform services the main window's logic talks to.
struct FormServices {
    IMessageBoxes &boxes;
    IEventPump &pump;
    SettingsStore &settings;
    // The pages rows load in at once, all of one browser.
    QList<IPage *> pages;
    ISkinEngine &skin;
    IFolderBrowser &folderBrowser;
    IOpenFileDialog &openFileDialog;
    // Runs a console command and returns its output (the online check).
    std::function<QString(const QString &commandLine)> runCommand;
    // The folder that holds the program; optional files are found beside it.
    QString applicationFolder;
    // Ends the program at once (closing the main window).
    std::function<void()> endProgram;
    // Gives the pages the page options of the settings, as a run starts, and
    // returns what the run uses, with what cannot be used (see EngineSettings).
    std::function<EngineSettings::Read()> applyEngineSettings;
    // Opens the options dialog; it does not wait for the user.
    std::function<void()> showOptions = {};
    // Opens a local file or folder with the desktop's default program; false when it could not.
    std::function<bool(const QString &path)> openWithDesktop = {};
    // Puts the text on the clipboard.
    std::function<void(const QString &text)> copyToClipboard = {};
    // Asks for a file to save to, starting at `startPath`: its path, or empty text for Cancel.
    std::function<QString(const QString &caption, const QString &startPath)> chooseSaveFile = {};
};
