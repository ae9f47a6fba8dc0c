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
    int progressValue() const { return value; }
    void setProgressValue(int newValue) override
    {
        value = newValue;
        valueHistory.append(newValue);
    }
    QString progressCaption() const { return progress; }
    void setProgressCaption(const QString &caption) override
    {
        progress = caption;
        captionHistory.append(caption);
    }
    void showRow(int row) override { shownRows.append(row); }
    void setRunPhase(RunPhase phase) override { phases.append(phase); }
    QString caption() const { return windowCaption; }
    void setCaption(const QString &caption) override { windowCaption = caption; }
    void setBackColor(quint32 colour) override { backColor = colour; }
    void setPlainControlsBackColor(quint32 colour) override { frameBackColor = colour; }
    void loadMouseIcon(const QString &cursorFile) override
    {
        if (onLoadMouseIcon)
            onLoadMouseIcon(cursorFile);
        mouseIcon = cursorFile;
    }
    bool hasMouseIcon() const { return !mouseIcon.isEmpty(); }
    void setProductIcon() override { productIcon = true; }
    quintptr windowHandle() const override { return 42; }

    int pointer = 0;
    QString folder;
    int value = 0;
    QString progress = QStringLiteral("Progress Bar");
    QString windowCaption;
    QVector<int> pointerHistory;
    QVector<int> valueHistory;
    QStringList captionHistory;
    QVector<int> shownRows;
    QVector<RunPhase> phases;
    std::function<void()> onFolderChange;
    std::function<void(const QString &)> onLoadMouseIcon;
    quint32 backColor = 0xFFFFFF;
    quint32 frameBackColor = 0xFFFFFF;
    QString mouseIcon;
    bool productIcon = false;
};
