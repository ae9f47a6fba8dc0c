#include "platform/Application.h"

#include "app/EngineSettings.h"
#include "capture/RunOptionText.h"
#include "process/ChildProcesses.h"
#include "process/TerminationSignals.h"
#include "support/OnlineCheck.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QScreen>
#include <QStyleFactory>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace {

// The browser to end with the program (its profile folder goes with it).
ChromiumBrowser *runningBrowser = nullptr;

} // namespace

Application::Application(OnlineCheck::CommandRunner runCommand, const QString &instanceName)
    : m_runCommand(std::move(runCommand)), m_instanceName(instanceName), m_window(m_list)
{
    runningBrowser = &m_chromium;
    m_chromium.setIdleLimit(60'000); // an idle window keeps no engine running
    for (int i = pagesAtOnce(m_settings); i > 0; --i)
        m_pages.push_back(std::make_unique<ChromiumPage>(m_chromium));
    TerminationSignals::install([] {
        if (runningBrowser)
            runningBrowser->shutdown();
    });
    m_boxes.setOwner(&m_window);
    m_folderBrowser.setOwner(&m_window);
    m_openFileDialog.setOwner(&m_window);
    m_saveFileDialog.setOwner(&m_window);
    m_logic = std::make_unique<Form1>(m_window, m_list, services());
    m_window.setLogic(m_logic.get());
}

Application::~Application()
{
    runningBrowser = nullptr;
}

int Application::pagesAtOnce(const SettingsStore &settings)
{
    int pages = 1;
    RunOptionText::readPagesAtOnce(settings.read(SettingsKeys::PagesAtOnce), pages);
    return pages;
}

void Application::showOptions()
{
    if (!m_options)
        m_options = new OptionsDialog(m_settings, &m_window);
    m_options->load();
    // Window-modal and not waited for: a run goes on while it is open.
    m_options->open();
}

FormServices Application::services()
{
    QList<IPage *> pages;
    for (const auto &page : m_pages)
        pages.append(page.get());
    FormServices services{m_boxes,
                          m_pump,
                          m_settings,
                          pages,
                          m_skin,
                          m_folderBrowser,
                          m_openFileDialog,
                          m_runCommand ? m_runCommand : OnlineCheck::consoleRunner(&m_pump),
                          QCoreApplication::applicationDirPath(),
                          [] { endProgram(); },
                          [this] {
                              const EngineSettings::Read read = EngineSettings::read(m_settings);
                              m_chromium.setOptions(read.options);
                              return read;
                          },
                          [this] { showOptions(); }};
    services.openWithDesktop = [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    services.copyToClipboard = [](const QString &text) { QGuiApplication::clipboard()->setText(text); };
    services.chooseSaveFile = [this](const QString &caption, const QString &startPath) {
        return m_saveFileDialog.chooseFile(caption, startPath);
    };
    return services;
}

void Application::configureApplication()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Textorin"));
    QApplication::setOrganizationName(QStringLiteral("Tavrine"));
    QGuiApplication::setDesktopFileName(QStringLiteral(TEXTORIN_APP_ID));
}

bool Application::start()
{
    if (!m_instanceName.isEmpty()) {
        m_instance = std::make_unique<SingleInstance>(m_instanceName);
        if (!m_instance->claim())
            return false;
        QObject::connect(m_instance.get(), &SingleInstance::showRequested, &m_window, [this] { raiseWindow(); });
    }
    m_logic->Form_Load();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window.move(frame.topLeft());
    }
    m_window.show();
    return true;
}

void Application::raiseWindow()
{
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void Application::endProgram()
{
    // Settings are written as they change and output files are never open
    // across a wait, so nothing is left half-done.
    if (runningBrowser)
        runningBrowser->shutdown();
    ChildProcesses::endAll();
    std::fflush(nullptr);
    std::_Exit(0);
}
