#include "capture/RowRules.h"

#include <algorithm>

RowRules::RowRules(const SiteRules &rules, const RowSettings &base, const FormatMaker &formatOf)
    : m_rules(rules), m_base(base)
{
    for (int rule = 0; rule < rules.size(); ++rule) {
        const RowSettings settings = rules.applied(rule, base);
        m_applied.append({settings, formatOf(settings.format)});
    }
}

const OutputFormat *RowRules::formatOf(int rule) const
{
    if (rule < 0)
        return nullptr;
    const Applied &applied = m_applied.at(rule);
    return applied.settings.format == m_base.format ? nullptr : &applied.format;
}

bool RowRules::waitsForHosts() const
{
    return std::any_of(m_applied.begin(), m_applied.end(),
                       [](const Applied &applied) { return applied.settings.hostWaitMs > 0; });
}

int RowRules::longestRowMs() const
{
    int longest = m_base.engine.longestRowMs();
    for (const Applied &applied : m_applied)
        longest = qMax(longest, applied.settings.engine.longestRowMs());
    return longest;
}
