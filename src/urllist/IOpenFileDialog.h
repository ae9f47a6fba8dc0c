#pragma once

#include <QString>

// How the open-file dialog is set up for one showing.
struct OpenFileRequest {
    QString fileName; // preselected name
    quint32 flags = 0;
    QString title;
    // Pairs of description and pattern, separated by "|".
    QString filter;
};

// The open-file dialog `CommonDialog1`.
class IOpenFileDialog
{
public:
    virtual ~IOpenFileDialog() = default;

    // Shows the dialog modally: the chosen file name, or empty text after Cancel.
    virtual QString chooseFile(const OpenFileRequest &request) = 0;
};
