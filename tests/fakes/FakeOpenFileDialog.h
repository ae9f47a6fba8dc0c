#pragma once

#include "urllist/IOpenFileDialog.h"

#include <functional>

// An open-file dialog whose showing answers with a set path (empty: Cancel).
class FakeOpenFileDialog : public IOpenFileDialog
{
public:
    QString FileName() const override { return fileName; }
    void SetFileName(const QString &value) override { fileName = value; }
    quint32 Flags() const override { return flags; }
    void SetFlags(quint32 value) override { flags = value; }
    QString DialogTitle() const override { return title; }
    void SetDialogTitle(const QString &value) override { title = value; }
    QString Filter() const override { return filter; }
    void SetFilter(const QString &value) override { filter = value; }
    void ShowOpen() override
    {
        ++shown;
        fileNameWhenShown = fileName;
        fileName = answer;
    }

    QString fileName = QStringLiteral("left over");
    QString fileNameWhenShown;
    quint32 flags = 0;
    QString title;
    QString filter;
    QString answer;
    int shown = 0;
};
