#include "fakes/LiveEngine.h"

#include <QDeadlineTimer>

#include <algorithm>

QByteArray html(const QByteArray &body, const QByteArray &head)
{
    return "<!DOCTYPE html><html><head><meta charset=utf-8>" + head + "</head><body>" + body + "</body></html>";
}

PageOutcome loadRow(IPage &page, QtEventPump &pump, const QString &row, int limitMs)
{
    page.load(row);
    const QDeadlineTimer deadline(limitMs);
    while (!page.isDone() && !deadline.hasExpired())
        pump.waitForEvents(1000);
    return page.takeOutcome();
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
    return loadRow(page, pump, row, std::max(EngineOptions().longestRowMs(), browser.options().longestRowMs()));
}
