#pragma once

// Values of the main window's mouse pointer.
namespace MousePointer {

constexpr int Default = 0;
constexpr int Hourglass = 11; // a capture run is in progress
constexpr int Custom = 99; // the hand image loaded at start-up

} // namespace MousePointer
