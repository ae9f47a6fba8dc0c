#pragma once

class IBrowser;
class IEventPump;
class IMessageBoxes;
class SettingsStore;

// The platform services the main window's logic talks to. Optional members may
// be null where a caller does not need them.
struct FormServices {
    IMessageBoxes *boxes = nullptr;
    IEventPump *pump = nullptr;
    SettingsStore *settings = nullptr;
    IBrowser *browser = nullptr;
};
