#include "app/OutputFolderChoice.h"

#include "app/IRunView.h"
#include "support/ErrorGuard.h"
#include "support/IFolderBrowser.h"
#include "support/OperationNames.h"
#include "support/PathHelpers.h"
#include "support/SettingsStore.h"

#include <QDir>

namespace {

const QChar Separator = QLatin1Char('/');

} // namespace

OutputFolderChoice::OutputFolderChoice(IRunView &view, IMessageBoxes &boxes, IFolderBrowser &browser,
                                       SettingsStore &settings)
    : m_view(view), m_boxes(boxes), m_browser(browser), m_settings(settings)
{}

QString OutputFolderChoice::startFolder() const
{
    // The folder box's folder when it names one; else the folder last chosen.
    const QString boxFolder = m_view.folderText().trimmed();
    return !boxFolder.isEmpty() && IsFolder(boxFolder) ? QDir::cleanPath(boxFolder) : m_lastFolder;
}

void OutputFolderChoice::browse()
{
    ErrorGuard guard(m_boxes, OperationNames::PushButton8_Click);
    QString result;
    guard.run(100, [&] { m_lastFolder = m_settings.read(SettingsKeys::LastFolderDot, QString()); });
    guard.run([&] { result = m_browser.browseForFolder(prompt(), startFolder()); });
    if (guard.lineIf(102, [&] { return result.isEmpty(); }))
        return;
    guard.run(104, [&] { m_lastFolder = result; });
    guard.run([&] { m_settings.write(SettingsKeys::LastFolderDot, m_lastFolder); });
    if (guard.blockIf(104, [&] { return !result.endsWith(Separator); })) {
        guard.run(106, [&] { m_view.setFolderText(result + Separator); });
    } else {
        guard.run(108, [&] { m_view.setFolderText(result); });
    }
}
