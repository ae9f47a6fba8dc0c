#pragma once

#include "capture/OutputFormat.h"
#include "capture/RowSettings.h"
#include "capture/SiteRules.h"

#include <QList>
#include <QString>

#include <functional>

// The site rules a run's rows load by: which rule a row's address falls
// under, and the settings and format that rule gives the run's.
class RowRules
{
public:
    // The format of a name, as the run makes it (with its own additions).
    using FormatMaker = std::function<OutputFormat(const QString &name)>;

    RowRules() = default;
    RowRules(const SiteRules &rules, const RowSettings &base, const FormatMaker &formatOf);

    bool isEmpty() const { return m_rules.isEmpty(); }
    // The rule of the row's address, or -1 (the run's own settings).
    int ruleFor(const QString &row) const { return m_rules.ruleFor(row); }
    QString patternOf(int rule) const { return rule < 0 ? QString() : m_rules.patternOf(rule); }
    const RowSettings &settingsOf(int rule) const { return rule < 0 ? m_base : m_applied.at(rule).settings; }
    // The rule's format when it differs from the run's, else null.
    const OutputFormat *formatOf(int rule) const;
    // Some rule waits between loads of a host.
    bool waitsForHosts() const;
    // The longest any row may take.
    int longestRowMs() const;

private:
    struct Applied {
        RowSettings settings;
        OutputFormat format;
    };
    SiteRules m_rules;
    RowSettings m_base;
    QList<Applied> m_applied;
};
