#pragma once

#include <QRect>

#include <cmath>

// Window measures are given in twips: 15 twips make one pixel at 96 dots per inch.
namespace Twips {

constexpr int PerPixel = 15;

inline int toPixels(double twips)
{
    return int(std::lround(twips / PerPixel));
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
