#pragma once

#include "support/IMessageBoxes.h"

#include <QTextStream>

// Boxes of a run without a window: reports go to standard error, notices to
// standard output; nothing is ever asked.
class ConsoleMessageBoxes : public IMessageBoxes
{
public:
    ConsoleMessageBoxes(QTextStream &out, QTextStream &err);

    void information(const QString &text) override;
    void warning(const QString &caption, const QString &text) override;
    QString inputBox(const QString &prompt) override;

private:
    QTextStream &m_out;
    QTextStream &m_err;
};
