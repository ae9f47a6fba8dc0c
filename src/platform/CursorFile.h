#pragma once

#include <QCursor>
#include <QString>

// Reads a Windows cursor file (.cur) with its hot spot.
namespace CursorFile {

// Raises a RuntimeError when the file is not a picture Qt can read.
QCursor load(const QString &path);

} // namespace CursorFile
