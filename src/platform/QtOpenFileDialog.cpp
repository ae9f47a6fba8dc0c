#include "platform/QtOpenFileDialog.h"

#include "platform/DialogStandIn.h"

#include <QFileDialog>

namespace {

// "*.*" means every file, also those without a dot in their name.
QString qtPattern(const QString &pattern)
{
    QStringList patterns = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString &each : patterns) {
        each = each.trimmed();
        if (each == QStringLiteral("*.*"))
            each = QStringLiteral("*");
    }
    return patterns.join(QLatin1Char(' '));
}

} // namespace

QStringList QtOpenFileDialog::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        const qsizetype open = description.indexOf(QLatin1Char('('));
        if (open >= 0)
            description = description.left(open).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, qtPattern(parts.at(i + 1)));
    }
    return filters;
}

QString QtOpenFileDialog::chooseFile(const OpenFileRequest &request)
{
    // The flags ask for one existing file with the read-only box hidden: as here.
    QFileDialog dialog(m_owner, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // a typed name need not exist
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(nameFilters(request.filter));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    return DialogStandIn::askFile(DialogStandIn::Kind::OpenFile, dialog);
}
