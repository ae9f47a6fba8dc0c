#include "batch/ChunkMessageBoxes.h"

#include "support/ApplicationError.h"

#include <utility>

void ChunkMessageBoxes::information(const QString &text)
{
    if (text != QLatin1String("Done."))
        m_boxes.information(text);
}

void ChunkMessageBoxes::warning(const QString &caption, const QString &text)
{
    if (caption == ApplicationErrorCaption) {
        // A report is its description, then the line "in OPERATION at line N".
        const qsizetype end = text.lastIndexOf(QStringLiteral("\r\nin "));
        m_lastReport = end < 0 ? text : text.left(end);
    }
    m_boxes.warning(caption, text);
}

QString ChunkMessageBoxes::inputBox(const QString &prompt)
{
    return m_boxes.inputBox(prompt);
}

QString ChunkMessageBoxes::takeLastReport()
{
    return std::exchange(m_lastReport, {});
}
