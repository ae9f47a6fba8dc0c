#pragma once

#include <QString>

class IFolderBrowser;
class IFormView;
class IMessageBoxes;
class SettingsStore;

// The "..." button beside the folder box: picks the destination folder.
class OutputFolderChoice
{
public:
    OutputFolderChoice(IFormView &view, IMessageBoxes &boxes, IFolderBrowser &browser,
                       SettingsStore &settings);

    void PushButton8_Click();
    QString LastFolder() const { return m_lastFolder; }

    static QString prompt() { return QStringLiteral("Please select folder:"); }

private:
    IFormView &m_view;
    IMessageBoxes &m_boxes;
    IFolderBrowser &m_browser;
    SettingsStore &m_settings;
    QString m_lastFolder;
};
