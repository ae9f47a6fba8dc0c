#include "fakes/FakeMessageBoxes.h"

#include "support/ApplicationTitle.h"

void FakeMessageBoxes::information(const QString &text)
{
    boxes.append({QStringLiteral("information"), ApplicationTitle::current(), text});
}

void FakeMessageBoxes::warning(const QString &caption, const QString &text)
{
    boxes.append({QStringLiteral("warning"), caption, text});
}

QString FakeMessageBoxes::inputBox(const QString &prompt)
{
    boxes.append({QStringLiteral("input"), ApplicationTitle::current(), prompt});
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

QStringList FakeMessageBoxes::texts(const QString &kind) const
{
    QStringList result;
    for (const Box &box : boxes) {
        if (box.kind == kind)
            result.append(box.text);
    }
    return result;
}
