#pragma once

#include <QString>

#include <functional>

class IBrowser;
class IEventPump;
class IFolderBrowser;
class IOpenFileDialog;
class IMessageBoxes;
class ISkinEngine;
class SettingsStore;

// The platform services the main window's logic talks to. Optional members may
// be null where a caller does not need them.
struct FormServices {
    IMessageBoxes *boxes = nullptr;
    IEventPump *pump = nullptr;
    SettingsStore *settings = nullptr;
    IBrowser *browser = nullptr;
    ISkinEngine *skin = nullptr;
    IFolderBrowser *folderBrowser = nullptr;
    IOpenFileDialog *openFileDialog = nullptr;
    // Runs a console command and returns its output (the online check).
    std::function<QString(const QString &commandLine)> runCommand;
    // The folder that holds the program; optional files are found beside it.
    QString applicationFolder;
    // Ends the program at once (closing the main window).
    std::function<void()> endProgram;
};
