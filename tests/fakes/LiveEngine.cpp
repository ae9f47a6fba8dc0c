#include "fakes/LiveEngine.h"

#include <QDeadlineTimer>

#include <algorithm>

QByteArray html(const QByteArray &body, const QByteArray &head)
{
    return "<!DOCTYPE html><html><head><meta charset=utf-8>" + head + "</head><body>" + body + "</body></html>";
}

namespace {

// Waits for the row the page is loading and takes its outcome; gives up after `limitMs`.
PageOutcome awaitRow(IPage &page, QtEventPump &pump, int limitMs)
{
    const QDeadlineTimer deadline(limitMs);
    while (!page.isDone() && !deadline.hasExpired())
        pump.waitForEvents(1000);
    return page.takeOutcome();
}

} // namespace

PageOutcome loadRow(IPage &page, QtEventPump &pump, const QString &row, int limitMs)
{
    page.load(row);
    return awaitRow(page, pump, limitMs);
}

LiveEngine::LiveEngine(const EngineOptions &options) : browser(process, options), page(browser)
{
    page.setDoneHandler([this] { pump.wake(); });
}

LiveEngine::~LiveEngine()
{
    page.shutdown();
}

PageOutcome LiveEngine::load(const QString &row)
{
    return loadRow(page, pump, row, rowLimitMs());
}

PageOutcome LiveEngine::loadIfChanged(const QString &row, const PageValidators &validators)
{
    page.loadIfChanged(row, validators);
    return awaitRow(page, pump, rowLimitMs());
}

PageOutcome LiveEngine::loadInNewPage(const QString &row)
{
    ChromiumPage fresh(browser);
    fresh.setDoneHandler([this] { pump.wake(); });
    return loadRow(fresh, pump, row, rowLimitMs());
}

int LiveEngine::rowLimitMs() const
{
    return std::max(EngineOptions().longestRowMs(), browser.options().longestRowMs());
}
