#pragma once

#include "app/Form1.h"
#include "platform/MainWindow.h"
#include "platform/QtFolderBrowser.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtOpenFileDialog.h"
#include "platform/StyleSheetSkin.h"
#include "platform/WebEngineBrowser.h"
#include "support/QtEventPump.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

#include <memory>

// Builds the main window and its logic, and runs the start-up sequence.
class Application
{
public:
    Application();

    // Runs the start-up sequence, then shows the window centred on the screen.
    void start();

    MainWindow &window() { return m_window; }
    Form1 &logic() { return *m_logic; }
    UrlListModel &list() { return m_list; }
    QtMessageBoxes &boxes() { return m_boxes; }

    // Style, palette and engine settings; call before creating QApplication's windows.
    static void prepareProcess();
    static void configureApplication();
    // Ends the process at once: no handler runs afterwards, wherever it was waiting.
    [[noreturn]] static void endProgram();

private:
    FormServices services();

    UrlListModel m_list;
    QtMessageBoxes m_boxes;
    QtEventPump m_pump;
    SettingsStore m_settings;
    WebEngineBrowser m_browser;
    StyleSheetSkin m_skin;
    QtFolderBrowser m_folderBrowser;
    QtOpenFileDialog m_openFileDialog;
    MainWindow m_window;
    std::unique_ptr<Form1> m_logic;
};
