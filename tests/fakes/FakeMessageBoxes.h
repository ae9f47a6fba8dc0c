#pragma once

#include "support/IMessageBoxes.h"

#include <QStringList>
#include <QVector>

#include <functional>

// Records every box; input boxes answer from a queue (empty text when it runs dry).
class FakeMessageBoxes : public IMessageBoxes
{
public:
    struct Box {
        QString kind; // "information", "warning" or "input"
        QString caption;
        QString text;
        QString informative;
        QString details;
    };

    void information(const QString &text) override;
    void summary(const QString &text, const QString &informative, const QString &details) override;
    // The informative text of the last summary box.
    QString lastSummary() const;
    void warning(const QString &caption, const QString &text) override;
    QString inputBox(const QString &prompt) override;

    QStringList texts(const QString &kind) const;
    QStringList warnings() const { return texts(QStringLiteral("warning")); }
    QStringList informations() const { return texts(QStringLiteral("information")); }

    QVector<Box> boxes;
    // Runs as each box is shown (to act while it is open).
    std::function<void(const Box &box)> onBox;
    QStringList answers;
};
