#pragma once

#include <QString>
#include <QStringList>

// The options that choose which links a crawl follows.
struct ScopeRules {
    bool noParent = false; // -np
    bool spanHosts = false; // -H
    QStringList domains; // -D (comma-separated values already split, lowercased)
    QString acceptRegex; // --accept-regex
    QString rejectRegex; // --reject-regex
    QStringList accept; // -A suffixes or wildcard patterns (split at commas)
    QStringList reject; // -R
};
