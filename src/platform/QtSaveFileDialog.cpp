#include "platform/QtSaveFileDialog.h"

#include "platform/DialogStandIn.h"

#include <QFileDialog>
#include <QFileInfo>

QString QtSaveFileDialog::chooseFile(const QString &caption, const QString &startPath)
{
    QFileDialog dialog(m_owner, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters({QStringLiteral("JSON Lines (*.jsonl)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("jsonl"));
    dialog.setWindowModality(Qt::ApplicationModal);
    const QFileInfo start(startPath);
    dialog.setDirectory(start.absolutePath());
    dialog.selectFile(start.fileName());
    return DialogStandIn::askFile(DialogStandIn::Kind::SaveFile, dialog);
}
