#pragma once

#include "support/IFolderBrowser.h"

#include <QStringList>

// Answers with a queued folder (empty text: Cancel) and records each request.
class FakeFolderBrowser : public IFolderBrowser
{
public:
    QString browseForFolder(const QString &prompt, const QString &startPath) override
    {
        prompts << prompt;
        startPaths << startPath;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers;
    QStringList prompts;
    QStringList startPaths;
};
