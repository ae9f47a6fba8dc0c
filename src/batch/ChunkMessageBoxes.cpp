#include "batch/ChunkMessageBoxes.h"


void ChunkMessageBoxes::information(const QString &text)
{
    if (text != QLatin1String("Done."))
        m_boxes.information(text);
}

void ChunkMessageBoxes::warning(const QString &caption, const QString &text)
{
    m_boxes.warning(caption, text);
}

QString ChunkMessageBoxes::inputBox(const QString &prompt)
{
    return m_boxes.inputBox(prompt);
}
