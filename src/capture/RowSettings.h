#pragma once

#include "engine/EngineOptions.h"

#include <QString>

// What a row is loaded and saved with: the page's options, the output format,
// its tries and its host's wait.
struct RowSettings {
    EngineOptions engine;
    QString format = QStringLiteral("text");
    int tries = 1;
    int hostWaitMs = 0;
};
