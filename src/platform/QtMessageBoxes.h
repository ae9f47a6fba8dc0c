#pragma once

#include "support/IMessageBoxes.h"

#include <functional>

class QWidget;

// Message and input boxes as Qt dialogs, modal over the main window.
class QtMessageBoxes : public IMessageBoxes
{
public:
    enum class Kind { Information, Warning, Input };
    struct Request {
        Kind kind;
        QString caption;
        QString text;
    };
    // Answers boxes without showing them (tests); the result is the input box's answer.
    using Responder = std::function<QString(const Request &)>;

    explicit QtMessageBoxes(QWidget *owner = nullptr);

    void setOwner(QWidget *owner) { m_owner = owner; }
    void information(const QString &text) override;
    void warning(const QString &caption, const QString &text) override;
    QString inputBox(const QString &prompt) override;

    static void setResponder(Responder responder);
    // Line ends for display: lone carriage returns become line breaks.
    static QString displayText(const QString &text);

private:
    QWidget *m_owner;
};
