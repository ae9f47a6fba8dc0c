#pragma once

#include <QString>

#include <functional>

class QFileDialog;

// The answer of a Qt file dialog, from the user or from a stand-in.
namespace FileDialogAnswer {

// Answers the dialog instead of the user (tests): it gets the dialog as set up
// and returns the chosen path, or empty text for Cancel.
using Responder = std::function<QString(QFileDialog &dialog)>;

// The responder's answer when there is one; otherwise shows the dialog and
// returns the first selected path, or empty text when the user cancels.
QString ask(QFileDialog &dialog, const Responder &responder);

} // namespace FileDialogAnswer
