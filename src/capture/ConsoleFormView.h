#pragma once

#include "app/IFormView.h"

// The window's values for a run without a window; nothing is shown.
class ConsoleFormView : public IFormView
{
public:
    explicit ConsoleFormView(const QString &folder) : m_folder(folder) {}

    int mousePointer() const override { return m_pointer; }
    void setMousePointer(int value) override { m_pointer = value; }
    QString folderText() const override { return m_folder; }
    void setFolderText(const QString &text) override { m_folder = text; }
    int progressValue() const override { return m_value; }
    void setProgressValue(int value) override { m_value = value; }
    QString progressCaption() const override { return m_caption; }
    void setProgressCaption(const QString &caption) override { m_caption = caption; }
    QString caption() const override { return QString(); }
    void setCaption(const QString &) override {}
    void setBackColor(quint32) override {}
    void setPlainControlsBackColor(quint32) override {}
    void loadMouseIcon(const QString &) override {}
    bool hasMouseIcon() const override { return false; }
    void setProductIcon() override {}
    quintptr windowHandle() const override { return 0; }

private:
    QString m_folder;
    QString m_caption;
    int m_pointer = 0;
    int m_value = 0;
};
