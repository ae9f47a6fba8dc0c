#pragma once

#include <QProgressBar>

// A progress bar that shows the caption the program sets instead of a percentage.
class CaptionProgressBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit CaptionProgressBar(QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    QString text() const override;

private:
    QString m_caption;
};
