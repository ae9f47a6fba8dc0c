#include "platform/QtFolderBrowser.h"

#include "platform/DialogStandIn.h"
#include "support/PathHelpers.h"

#include <QDir>
#include <QFileDialog>

QString QtFolderBrowser::cleanPath(const QString &path)
{
    if (path.isEmpty())
        return path;
    const QString clean = QDir::cleanPath(path);
    return clean.isEmpty() ? QStringLiteral("/") : clean;
}

QString QtFolderBrowser::browseForFolder(const QString &prompt, const QString &startPath)
{
    QFileDialog dialog(m_owner, prompt);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::LookIn, prompt);
    dialog.setLabelText(QFileDialog::FileName, prompt);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (IsFolder(startPath)) {
        const QDir start(startPath);
        QDir parent = start;
        if (parent.cdUp()) {
            dialog.setDirectory(parent);
            dialog.selectFile(start.dirName());
        } else {
            dialog.setDirectory(start);
        }
    }
    return cleanPath(DialogStandIn::askFile(DialogStandIn::Kind::Folder, dialog));
}
