#pragma once

#include "app/Form1.h"
#include "engine/chromium/ChromiumBrowser.h"
#include "engine/chromium/ChromiumPage.h"
#include "platform/MainWindow.h"
#include "platform/OptionsDialog.h"
#include "platform/QtFolderBrowser.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtOpenFileDialog.h"
#include "platform/QtSaveFileDialog.h"
#include "platform/SingleInstance.h"
#include "platform/StyleSheetSkin.h"
#include "process/ChromiumProcess.h"
#include "support/OnlineCheck.h"
#include "support/QtEventPump.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

#include <memory>
#include <vector>

// Builds the main window and its logic, and runs the start-up sequence.
class Application
{
public:
    // `runCommand` stands in for the console (tests); by default commands run for real.
    // `instanceName`: the socket that keeps one window per user
    // (SingleInstance::nameForUser()); empty, any number of windows may open.
    explicit Application(OnlineCheck::CommandRunner runCommand = {}, const QString &instanceName = {});
    ~Application();

    // Runs the start-up sequence, then shows the window centred on the screen;
    // false, showing nothing, when a window of the same name was running and
    // was shown instead.
    bool start();
    // Shows the window over the others, as a second start asks.
    void raiseWindow();

    MainWindow &window() { return m_window; }
    Form1 &logic() { return *m_logic; }
    UrlListModel &list() { return m_list; }
    QtMessageBoxes &boxes() { return m_boxes; }

    // The browser the window's pages load in.
    ChromiumBrowser &browser() { return m_chromium; }
    // How many pages the window loads at once: the setting "Pages At Once", 1 to 32.
    static int pagesAtOnce(const SettingsStore &settings);
    // Opens the options dialog over the window, without waiting for it.
    void showOptions();
    // The options dialog once opened, else null.
    OptionsDialog *optionsDialog() const { return m_options; }

    // Process-wide settings; call before creating QApplication's windows.
    static void configureApplication();
    // Ends the process at once: no handler runs afterwards, wherever it was waiting.
    [[noreturn]] static void endProgram();

private:
    FormServices services();

    OnlineCheck::CommandRunner m_runCommand;
    UrlListModel m_list;
    QtMessageBoxes m_boxes;
    QtEventPump m_pump;
    SettingsStore m_settings;
    ChromiumProcess m_engine;
    ChromiumBrowser m_chromium{m_engine};
    std::vector<std::unique_ptr<ChromiumPage>> m_pages;
    StyleSheetSkin m_skin;
    QtFolderBrowser m_folderBrowser;
    QtOpenFileDialog m_openFileDialog;
    QtSaveFileDialog m_saveFileDialog;
    QString m_instanceName;
    std::unique_ptr<SingleInstance> m_instance;
    MainWindow m_window;
    std::unique_ptr<Form1> m_logic;
    OptionsDialog *m_options = nullptr; // the window's child
};
