#pragma once

#include <QString>

// A crawl's options as people write them, on the command line and in the
// settings file; each reader checks one value and stores it, or returns what
// was wanted ("wants …") and leaves the value as it was.
class CrawlOptionText
{
public:
    // Link steps from the start addresses, up to 1000; 0 or "inf": no limit (-1).
    static QString readLevel(const QString &text, int &level);
    // Pages a crawl loads at most, from 1.
    static QString readMaxPages(const QString &text, int &pages);
};
