#pragma once

#include "support/IMessageBoxes.h"

#include <QStringList>
#include <QVector>

// Records every box; input boxes answer from a queue (empty text when it runs dry).
class FakeMessageBoxes : public IMessageBoxes
{
public:
    struct Box {
        QString kind; // "information", "warning" or "input"
        QString caption;
        QString text;
    };

    void information(const QString &text) override;
    void warning(const QString &caption, const QString &text) override;
    QString inputBox(const QString &prompt) override;

    QStringList texts(const QString &kind) const;
    QStringList warnings() const { return texts(QStringLiteral("warning")); }
    QStringList informations() const { return texts(QStringLiteral("information")); }

    QVector<Box> boxes;
    QStringList answers;
};
