#pragma once

#include <QStringList>

// Which query parts a crawl drops before it compares addresses.
struct QueryRules {
    bool ignoreQuery = false; // --ignore-query: the whole query
    QStringList ignoredParams; // --ignore-query-param NAME: "utm_*" style wildcards allowed
};
