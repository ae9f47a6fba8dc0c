#include "app/StartUp.h"

#include "app/IFormView.h"
#include "app/ISkinEngine.h"
#include "support/ApplicationTitle.h"
#include "support/ErrorGuard.h"
#include "support/OnlineCheck.h"
#include "support/OperationNames.h"
#include "support/PathHelpers.h"
#include "support/SettingsStore.h"
#include "urllist/UrlListModel.h"

#include <QFileInfo>

namespace {

// A directory search for exactly this path: ordinary files only, not hidden ones.
bool findsOrdinaryFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}

} // namespace

StartUp::StartUp(IFormView &view, UrlListModel &list, const FormServices &services)
    : m_view(view), m_list(list), m_services(services)
{}

QString StartUp::columnHeaderText()
{
    return QStringLiteral(" Web Site(s)");
}

QString StartUp::skinFilePath() const
{
    return m_services.applicationFolder + QStringLiteral("/x/o.cjs");
}

QString StartUp::pointerFilePath() const
{
    return m_services.applicationFolder + QStringLiteral("/HAND-M.CUR");
}

bool StartUp::onlineCheckWanted() const
{
    // Off on a metered or private network: the setting "0", or TEXTORIN_NO_ONLINE_CHECK=1.
    return qEnvironmentVariable("TEXTORIN_NO_ONLINE_CHECK") != QLatin1String("1")
        && m_services.settings.read(SettingsKeys::OnlineCheck) != QLatin1String("0");
}

void StartUp::run()
{
    ErrorGuard guard(m_services.boxes, OperationNames::Form_Load);
    guard.run(102, [&] {
        if (m_services.runCommand && onlineCheckWanted())
            OnlineCheck::warnWhenOffline(m_services.boxes, m_services.runCommand);
    });
    guard.run(104, [&] { applySkin(); });
    bool pointerFileExists = true;
    guard.run(106, [&] { pointerFileExists = FileExists(pointerFilePath()); });
    if (pointerFileExists)
        guard.run(108, [&] { m_view.loadMouseIcon(pointerFilePath()); });
    guard.run(128, [&] { m_view.setCaption(ApplicationTitle::productDisplayName()); });
    guard.run([&] { m_view.setProductIcon(); });
    guard.run([&] { setApplicationTitle(); });
    guard.run(130, [&] {
        const QString defaultFolder = DesktopFolderPath();
        m_view.setFolderText(m_services.settings.read(SettingsKeys::DownloadLocation, defaultFolder));
    });
    guard.run(132, [&] { m_list.addColumnHeader(columnHeaderText()); });
    guard.run(134, [&] { m_list.setColumnWidth(1, ColumnWidthTwips); });
}

void StartUp::applySkin()
{
    const QString skinFile = skinFilePath();
    if (!findsOrdinaryFile(skinFile))
        return;
    m_view.setBackColor(ButtonFaceColour);
    m_view.setPlainControlsBackColor(ButtonFaceColour);
    ISkinEngine &skin = m_services.skin;
    skin.loadSkin(skinFile, QString());
    skin.setApplyOptions(skin.applyOptions() | ISkinEngine::ApplyToApplication);
    skin.setSkinDialogs(true);
    skin.setSkinFrames(true);
    skin.applyWindow(m_view.windowHandle());
}

void StartUp::setApplicationTitle()
{
    ApplicationTitle::set(ApplicationTitle::derive(ApplicationTitle::productDisplayName()));
}
