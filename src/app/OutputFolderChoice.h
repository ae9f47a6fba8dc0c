#pragma once

#include <QString>

class IFolderBrowser;
class IRunView;
class IMessageBoxes;
class SettingsStore;

// The "..." button beside the folder box: picks the destination folder.
class OutputFolderChoice
{
public:
    OutputFolderChoice(IRunView &view, IMessageBoxes &boxes, IFolderBrowser &browser, SettingsStore &settings);

    void browse();

    static QString prompt() { return QStringLiteral("Please select folder:"); }

private:
    QString startFolder() const;

    IRunView &m_view;
    IMessageBoxes &m_boxes;
    IFolderBrowser &m_browser;
    SettingsStore &m_settings;
    QString m_lastFolder;
};
