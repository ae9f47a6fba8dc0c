#pragma once

#include "support/IMessageBoxes.h"

class QWidget;

// Message and input boxes as Qt dialogs, modal over the main window.
class QtMessageBoxes : public IMessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *owner = nullptr);

    void setOwner(QWidget *owner) { m_owner = owner; }
    void information(const QString &text) override;
    void summary(const QString &text, const QString &informative, const QString &details) override;
    void selectableInformation(const QString &text) override;
    void warning(const QString &caption, const QString &text) override;
    QString inputBox(const QString &prompt) override;

    // Line ends for display: lone carriage returns become line breaks.
    static QString displayText(const QString &text);

private:
    QWidget *m_owner;
};
