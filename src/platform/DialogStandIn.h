#pragma once

#include <QString>

#include <functional>

class QFileDialog;

// The one seam through which every dialog of the window passes: a stand-in
// answers instead of the user (tests), otherwise the dialog is shown.
namespace DialogStandIn {

enum class Kind { Information, Warning, Input, Folder, OpenFile, SaveFile };

struct Request {
    Kind kind;
    QString caption;
    QString text;
    QFileDialog *fileDialog = nullptr; // the file dialog as set up
    QString informative; // the line under an information's text
    QString details; // what the box's details show
};

// The input box's answer or the chosen path; empty text for Cancel.
using Responder = std::function<QString(const Request &)>;

// An empty responder lets the user answer again.
void set(Responder responder);
bool isSet();
QString answer(const Request &request);

// The stand-in's answer when there is one; otherwise shows the dialog and
// returns the first selected path, or empty text when the user cancels.
QString askFile(Kind kind, QFileDialog &dialog);

} // namespace DialogStandIn
