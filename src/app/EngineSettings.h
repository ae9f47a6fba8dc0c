#pragma once

#include "engine/EngineOptions.h"

#include <QProcessEnvironment>
#include <QStringList>

class SettingsStore;

// The window's page options, from its settings file: "User Agent", "Cookies
// File", "Proxy", "Block", "Scroll" and "Wait For". A value that cannot be used
// is named among the problems and its default taken instead.
class EngineSettings
{
public:
    struct Read {
        EngineOptions options;
        QStringList problems;
    };

    static Read read(const SettingsStore &settings, const EngineOptions &defaults = {},
                     const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // What the window shows when a run starts with problems.
    static QString problemsText(const QStringList &problems);
};
