#include "app/Form1.h"

#include "app/IFormView.h"
#include "app/MousePointer.h"
#include "app/StartUp.h"
#include "capture/CaptureRun.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

Form1::Form1(IFormView &view, UrlListModel &list, const FormServices &services)
    : m_view(view),
      m_list(list),
      m_services(services),
      m_listCommands(list, *services.boxes, [this] { return isBusy(); })
{
    if (services.browser && services.pump)
        m_captureRun = std::make_unique<CaptureRun>(view, list, *services.boxes,
                                                    *services.browser, *services.pump);
}

Form1::~Form1() = default;

void Form1::Form_Load()
{
    StartUp startUp(m_view, m_list, m_services);
    startUp.Form_Load();
}

void Form1::Form_Unload()
{
    if (m_services.endProgram)
        m_services.endProgram();
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
    m_listCommands.PushButton1_Click();
}

void Form1::PushButton2_Click()
{
    if (m_captureRun)
        m_captureRun->PushButton2_Click();
}

void Form1::PushButton4_Click()
{
    m_listCommands.PushButton4_Click();
}

void Form1::PushButton6_Click()
{
}

void Form1::PushButton7_Click()
{
    m_listCommands.PushButton7_Click();
}

void Form1::PushButton8_Click()
{
}

void Form1::ListView1_KeyDown(int keyCode, int shift)
{
    m_listCommands.ListView1_KeyDown(keyCode, shift);
}

void Form1::ListView1_DblClick()
{
    m_listCommands.ListView1_DblClick();
}

void Form1::Text1_Change()
{
    if (!m_services.settings)
        return;
    try {
        m_services.settings->write(SettingsKeys::DownloadLocation, m_view.folderText());
    } catch (...) {
        // The next change stores the text again.
    }
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
