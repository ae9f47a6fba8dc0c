#include "platform/QtOpenFileDialog.h"

#include "platform/FileDialogAnswer.h"

#include <QFileDialog>

namespace {

QtOpenFileDialog::Responder &responder()
{
    static QtOpenFileDialog::Responder instance;
    return instance;
}

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

void QtOpenFileDialog::setResponder(Responder value)
{
    responder() = std::move(value);
}

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

void QtOpenFileDialog::ShowOpen()
{
    QFileDialog dialog(m_owner, m_title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // a typed name need not exist
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(nameFilters(m_filter));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (!m_fileName.isEmpty())
        dialog.selectFile(m_fileName);
    m_fileName = FileDialogAnswer::ask(dialog, responder());
}
