#include "platform/CaptionProgressBar.h"

CaptionProgressBar::CaptionProgressBar(QWidget *parent) : QProgressBar(parent)
{
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void CaptionProgressBar::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

QString CaptionProgressBar::text() const
{
    return m_caption;
}
