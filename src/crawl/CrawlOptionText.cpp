#include "crawl/CrawlOptionText.h"

#include "capture/RunOptionText.h"

#include <limits>

QString CrawlOptionText::readLevel(const QString &text, int &level)
{
    if (text.trimmed().compare(QLatin1String("inf"), Qt::CaseInsensitive) == 0) {
        level = -1;
        return {};
    }
    const std::optional<int> steps = RunOptionText::count(text, 1000, 0);
    if (!steps)
        return RunOptionText::refusal(QStringLiteral("a number of link steps up to 1000, or inf"), text);
    level = *steps == 0 ? -1 : *steps;
    return {};
}

QString CrawlOptionText::readMaxPages(const QString &text, int &pages)
{
    const std::optional<int> read = RunOptionText::count(text, std::numeric_limits<int>::max());
    if (!read)
        return RunOptionText::refusal(QStringLiteral("a whole number from 1"), text);
    pages = *read;
    return {};
}
