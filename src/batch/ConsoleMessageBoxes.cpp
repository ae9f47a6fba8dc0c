#include "batch/ConsoleMessageBoxes.h"

#include "support/ApplicationError.h"

ConsoleMessageBoxes::ConsoleMessageBoxes(QTextStream &out, QTextStream &err)
    : m_out(out), m_err(err)
{
}

void ConsoleMessageBoxes::information(const QString &text)
{
    m_out << WithLineFeeds(text) << Qt::endl;
}

void ConsoleMessageBoxes::warning(const QString &caption, const QString &text)
{
    m_err << caption << ": " << WithLineFeeds(text) << Qt::endl;
}

QString ConsoleMessageBoxes::inputBox(const QString &)
{
    return QString();
}
