#pragma once

#include "engine/chromium/ChromiumBrowser.h"
#include "engine/chromium/ChromiumPage.h"
#include "process/ChromiumProcess.h"
#include "support/QtEventPump.h"

#include <QByteArray>
#include <QString>

// A page of HTML in UTF-8 with the body (and head) given.
QByteArray html(const QByteArray &body, const QByteArray &head = {});

// Loads the row in the page and waits for its outcome, as a run does; gives up
// after `limitMs`, by default the longest a row may take with default options.
PageOutcome loadRow(IPage &page, QtEventPump &pump, const QString &row, int limitMs = EngineOptions().longestRowMs());

// A real engine with one page, as a run with these options has it (links
// textorin_process: the engine's tests only).
class LiveEngine
{
public:
    explicit LiveEngine(const EngineOptions &options = {});
    ~LiveEngine();

    // Loads the row within the longest a row may take, by its options or the default ones.
    PageOutcome load(const QString &row);
    // Loads the row as load() does, with the validators of its last save.
    PageOutcome loadIfChanged(const QString &row, const PageValidators &validators);
    // Loads the row as load() does, in a new page of the browser: one that takes the
    // options last given to browser.setOptions() (a page keeps those it was made with).
    PageOutcome loadInNewPage(const QString &row);
    // Ends the page and with it the engine, its whole process group.
    void shutdown() { page.shutdown(); }

    ChromiumProcess process;
    ChromiumBrowser browser;
    ChromiumPage page;
    QtEventPump pump;

private:
    int rowLimitMs() const;
};
