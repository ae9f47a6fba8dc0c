#pragma once

#include "app/FormServices.h"
#include "fakes/CountingEventPump.h"
#include "fakes/FakeFolderBrowser.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeOpenFileDialog.h"
#include "fakes/FakePage.h"
#include "fakes/FakeSkin.h"
#include "support/SettingsStore.h"

#include <QTemporaryDir>

// Fakes for the window's services that a test does not look at.
struct StandInServices {
    StandInServices() : settings(config.filePath(QStringLiteral("stand-in.ini"))) {}

    FormServices services()
    {
        return {boxes, pump, settings, {&page}, skin, folderBrowser, openFileDialog, {}, {}, {}, {}};
    }

    QTemporaryDir config;
    SettingsStore settings;
    FakeMessageBoxes boxes;
    CountingEventPump pump;
    FakePage page;
    FakeSkin skin;
    FakeFolderBrowser folderBrowser;
    FakeOpenFileDialog openFileDialog;
};
