#include "app/Form1.h"

#include "app/CaptureRun.h"
#include "app/IFormView.h"
#include "app/MousePointer.h"
#include "app/OutputFolderChoice.h"
#include "app/StartUp.h"
#include "capture/OutputFormat.h"
#include "support/ErrorGuard.h"
#include "support/OperationNames.h"
#include "support/SettingsStore.h"
#include "urllist/ListImport.h"
#include "urllist/UrlListModel.h"

Form1::Form1(IFormView &view, UrlListModel &list, const FormServices &services)
    : m_view(view), m_list(list), m_services(services),
      m_listCommands(list, services.boxes, [this] { return isBusy(); }),
      m_captureRun(std::make_unique<CaptureRun>(view, list, services.boxes, services.pages, services.pump)),
      m_folderChoice(
          std::make_unique<OutputFolderChoice>(view, services.boxes, services.folderBrowser, services.settings)),
      m_listImport(std::make_unique<ListImport>(list, services.boxes, services.openFileDialog, &services.pump))
{
    if (services.applyEngineSettings)
        m_captureRun->setEngineSetup([this] { return applyRunSettings(); });
    const auto running = [this] { return m_captureRun->isRunning(); };
    m_rowActions =
        std::make_unique<RowActions>(list, view, services, running, [this] { return m_captureRun->runResults(); });
}

Form1::~Form1() = default;

void Form1::Form_Load()
{
    StartUp startUp(m_view, m_list, m_services);
    startUp.run();
}

void Form1::Form_Unload()
{
    if (m_services.endProgram)
        m_services.endProgram();
}

void Form1::Form_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode == KeyEscape)
        m_captureRun->requestStop();
}

void Form1::Form_MouseMove()
{
    hover(MousePointer::Default);
}

void Form1::Frame1_MouseMove()
{
    hover(MousePointer::Default);
}

void Form1::ListView1_MouseMove()
{
    hover(MousePointer::Default);
}

void Form1::PushButton_MouseMove()
{
    hover(MousePointer::Custom);
}

void Form1::PushButton1_Click()
{
    m_listCommands.addOne();
}

void Form1::PushButton2_Click()
{
    // Pressed during a run, the button stops it at once.
    if (m_captureRun->isRunning())
        m_captureRun->requestStop();
    else
        m_captureRun->start();
}

void Form1::PushButton4_Click()
{
    m_listCommands.addSamples();
}

void Form1::PushButton6_Click()
{
    m_listImport->chooseAndImport();
}

void Form1::PushButton7_Click()
{
    if (!refuseRemoval())
        m_listCommands.clear();
}

void Form1::PushButton8_Click()
{
    m_folderChoice->browse();
}

void Form1::mnuStartOver_Click()
{
    m_captureRun->startOver();
}

void Form1::ListView1_KeyDown(int keyCode, int /*shift*/)
{
    if (keyCode != UrlListCommands::KeyDelete || !refuseRemoval())
        m_listCommands.keyPressed(keyCode);
}

void Form1::ListView1_DblClick()
{
    if (!refuseRemoval())
        m_listCommands.removeSelected();
}

bool Form1::refuseRemoval()
{
    if (!m_captureRun->isRunning())
        return false;
    m_captureRun->showNote(QStringLiteral("Rows cannot be removed during a run"));
    return true;
}

void Form1::Text1_Change()
{
    try {
        m_services.settings.write(SettingsKeys::DownloadLocation, m_view.folderText());
    } catch (...) {
        // The next change stores the text again.
    }
}

void Form1::mnuOptions_Click()
{
    if (m_services.showOptions)
        m_services.showOptions();
}

QStringList Form1::applyRunSettings()
{
    const EngineSettings::Read read = m_services.applyEngineSettings();
    const OutputFormat *format = OutputFormat::named(read.format);
    m_captureRun->setRunSettings(format ? *format : OutputFormat::text(), read.tries, read.hostWaitMs);
    m_captureRun->setCrawl(read.keepsState() ? std::optional(read.crawlSettings()) : std::nullopt);
    m_captureRun->setWaitLimit(std::chrono::milliseconds(read.options.longestRowMs()));
    const auto formatOf = [](const QString &name) {
        const OutputFormat *named = OutputFormat::named(name);
        return named ? *named : OutputFormat::text();
    };
    m_captureRun->setRules(RowRules(read.rules, {read.options, read.format, read.tries, read.hostWaitMs}, formatOf));
    return read.problems;
}

void Form1::mnuOpenFile_Click()
{
    m_rowActions->openFile();
}

void Form1::mnuOpenFolder_Click()
{
    m_rowActions->openFolder();
}

void Form1::mnuCopyAddress_Click()
{
    m_rowActions->copyAddress();
}

void Form1::mnuShowReason_Click()
{
    m_rowActions->showReason();
}

void Form1::mnuRetryRow_Click()
{
    const QList<int> rows = m_rowActions->selectedRows();
    if (!rows.isEmpty() && !m_captureRun->isRunning())
        m_captureRun->retryRows(rows);
}

void Form1::mnuRetryFailed_Click()
{
    if (!m_captureRun->isRunning())
        m_captureRun->retryFailed();
}

void Form1::mnuSaveReport_Click()
{
    m_rowActions->saveReport();
}

void Form1::mnuRemoveDone_Click()
{
    m_rowActions->removeDone();
}

bool Form1::menuEntryApplies(RowActions::Entry entry) const
{
    return m_rowActions->applies(entry);
}

bool Form1::isBusy() const
{
    return m_view.mousePointer() == MousePointer::Hourglass;
}

void Form1::hover(int pointer)
{
    if (m_view.mousePointer() != MousePointer::Hourglass)
        m_view.setMousePointer(pointer);
}

void Form1::ListView1_OLEDragDrop(const QStringList &files, const QStringList &texts)
{
    ErrorGuard guard(m_services.boxes, OperationNames::ListView1_OLEDragDrop);
    for (const QString &file : files)
        guard.run(100, [&] { LoadFileToList(m_list, file, m_services.boxes, &m_services.pump); });
    for (const QString &text : texts)
        guard.run(102, [&] { m_list.append(text); });
}
