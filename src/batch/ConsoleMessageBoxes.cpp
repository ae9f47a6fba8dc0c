#include "batch/ConsoleMessageBoxes.h"

#include "batch/ProgressLine.h"
#include "support/ApplicationError.h"

ConsoleMessageBoxes::ConsoleMessageBoxes(QTextStream &out, QTextStream &err)
    : m_out(out), m_err(err)
{
}

void ConsoleMessageBoxes::information(const QString &text)
{
    if (m_progress)
        m_progress->hideForOut();
    m_out << WithLineFeeds(text) << Qt::endl;
}

void ConsoleMessageBoxes::warning(const QString &caption, const QString &text)
{
    if (m_progress)
        m_progress->hide();
    m_err << caption << ": " << WithLineFeeds(text) << Qt::endl;
}

QString ConsoleMessageBoxes::inputBox(const QString &)
{
    return QString();
}
