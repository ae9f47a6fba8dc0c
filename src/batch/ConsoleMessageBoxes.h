#pragma once

#include "support/IMessageBoxes.h"

#include <QTextStream>

class ProgressLine;

// Boxes of a run without a window: reports go to standard error, notices to
// standard output; nothing is ever asked.
class ConsoleMessageBoxes : public IMessageBoxes
{
public:
    ConsoleMessageBoxes(QTextStream &out, QTextStream &err);

    // The terminal's progress line, erased before each box.
    void setProgressLine(ProgressLine *progress) { m_progress = progress; }

    void information(const QString &text) override;
    void warning(const QString &caption, const QString &text) override;
    QString inputBox(const QString &prompt) override;

private:
    QTextStream &m_out;
    QTextStream &m_err;
    ProgressLine *m_progress = nullptr;
};
