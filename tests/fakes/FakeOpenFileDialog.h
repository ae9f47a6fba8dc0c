#pragma once

#include "urllist/IOpenFileDialog.h"

// An open-file dialog whose showing answers with a set path (empty: Cancel).
class FakeOpenFileDialog : public IOpenFileDialog
{
public:
    QString chooseFile(const OpenFileRequest &request) override
    {
        ++shown;
        shownWith = request;
        return answer;
    }

    OpenFileRequest shownWith;
    QString answer;
    int shown = 0;
};
