#include "capture/ConsoleMessageBoxes.h"

ConsoleMessageBoxes::ConsoleMessageBoxes(QTextStream &out, QTextStream &err)
    : m_out(out), m_err(err)
{
}

QString ConsoleMessageBoxes::plainLines(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

void ConsoleMessageBoxes::information(const QString &text)
{
    m_out << plainLines(text) << Qt::endl;
}

void ConsoleMessageBoxes::warning(const QString &caption, const QString &text)
{
    ++m_warnings;
    m_err << caption << ": " << plainLines(text) << Qt::endl;
}

QString ConsoleMessageBoxes::inputBox(const QString &)
{
    return QString();
}
