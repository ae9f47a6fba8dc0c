#pragma once

#include "capture/IRunView.h"

// The window's values for a run without a window; nothing is shown.
class ConsoleRunView : public IRunView
{
public:
    explicit ConsoleRunView(const QString &folder) : m_folder(folder) {}

    int mousePointer() const override { return m_pointer; }
    void setMousePointer(int value) override { m_pointer = value; }
    QString folderText() const override { return m_folder; }
    void setFolderText(const QString &text) override { m_folder = text; }
    void setProgressValue(int) override {}
    void setProgressCaption(const QString &) override {}

private:
    QString m_folder;
    int m_pointer = 0;
};
