#include "platform/FileDialogAnswer.h"

#include <QFileDialog>

QString FileDialogAnswer::ask(QFileDialog &dialog, const Responder &responder)
{
    if (responder)
        return responder(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}
