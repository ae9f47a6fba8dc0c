#include "fakes/FakeMessageBoxes.h"

#include "support/ApplicationTitle.h"

void FakeMessageBoxes::information(const QString &text)
{
    summary(text, {}, {});
}

void FakeMessageBoxes::summary(const QString &text, const QString &informative, const QString &details)
{
    boxes.append({QStringLiteral("information"), ApplicationTitle::current(), text, informative, details});
    if (onBox)
        onBox(boxes.last());
}

QString FakeMessageBoxes::lastSummary() const
{
    return boxes.isEmpty() ? QString() : boxes.last().informative;
}

void FakeMessageBoxes::warning(const QString &caption, const QString &text)
{
    boxes.append({QStringLiteral("warning"), caption, text, {}, {}});
    if (onBox)
        onBox(boxes.last());
}

QString FakeMessageBoxes::inputBox(const QString &prompt)
{
    boxes.append({QStringLiteral("input"), ApplicationTitle::current(), prompt, {}, {}});
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
