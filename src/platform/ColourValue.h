#pragma once

#include <QColor>
#include <QPalette>

// Colour values as the window stores them: 0x00BBGGRR, or a system colour
// (high bit set) whose low byte is its index.
namespace ColourValue {

QColor toColor(quint32 value, const QPalette &palette);

} // namespace ColourValue
