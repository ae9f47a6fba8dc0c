#pragma once

#include "crawl/QueryRules.h"

#include <QString>

// An address as a crawl compares it: two links to one page give one text.
class CrawlAddress
{
public:
    // The address as a crawl compares it, or empty when a crawl does not follow it (no http, https
    // or file scheme, no host for http(s), unparsable).
    static QString normalised(const QString &address, const QueryRules &rules = {});
    // The host of a normalised address (as the per-host limit counts it): no port, an IPv6 host
    // without its brackets, empty for most file addresses.
    static QString hostOf(const QString &normalisedAddress);
};
