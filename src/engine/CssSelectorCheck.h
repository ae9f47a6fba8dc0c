#pragma once

#include <QString>

// A check of a CSS selector's syntax before a run: catches what cannot be a
// selector (an empty one, unbalanced brackets or quotes, a dangling or doubled
// combinator, an empty attribute selector, a lone # or ., control characters).
// It is lenient: the browser may still refuse a selector it lets pass.
class CssSelectorCheck
{
public:
    // What is wrong with the selector, or empty when it is plausible.
    static QString problem(const QString &selector);
};
