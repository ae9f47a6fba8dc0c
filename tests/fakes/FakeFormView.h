#pragma once

#include "app/IFormView.h"

#include <QStringList>
#include <QVector>
#include <functional>

// The window as plain values; records captions and values as they are set.
class FakeFormView : public IFormView
{
public:
    int mousePointer() const override { return pointer; }
    void setMousePointer(int value) override
    {
        pointer = value;
        pointerHistory.append(value);
    }
    QString folderText() const override { return folder; }
    void setFolderText(const QString &text) override
    {
        const bool changed = text != folder;
        folder = text;
        if (changed && onFolderChange)
            onFolderChange();
    }
    int progressValue() const override { return value; }
    void setProgressValue(int newValue) override
    {
        value = newValue;
        valueHistory.append(newValue);
    }
    QString progressCaption() const override { return progress; }
    void setProgressCaption(const QString &caption) override
    {
        progress = caption;
        captionHistory.append(caption);
    }
    QString caption() const override { return windowCaption; }
    void setCaption(const QString &caption) override { windowCaption = caption; }

    int pointer = 0;
    QString folder;
    int value = 0;
    QString progress = QStringLiteral("Progress Bar");
    QString windowCaption;
    QVector<int> pointerHistory;
    QVector<int> valueHistory;
    QStringList captionHistory;
    std::function<void()> onFolderChange;
};
