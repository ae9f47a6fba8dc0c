#include "platform/ColourValue.h"

namespace {

constexpr quint32 SystemColourBit = 0x80000000;

QPalette::ColorRole systemRole(quint32 index)
{
    switch (index) {
    case 5: // window background
        return QPalette::Base;
    case 8: // window text
        return QPalette::Text;
    case 13: // highlight
        return QPalette::Highlight;
    case 14: // highlighted text
        return QPalette::HighlightedText;
    case 18: // button text
        return QPalette::ButtonText;
    case 15: // button face
    default: return QPalette::Button;
    }
}

} // namespace

QColor ColourValue::toColor(quint32 value, const QPalette &palette)
{
    if (value & SystemColourBit)
        return palette.color(QPalette::Active, systemRole(value & 0xff));
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}
