#pragma once

#include "capture/RowSettings.h"

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// A rules file: one section a pattern, "[https://docs.example.org/*]" (a glob
// over the whole address, * and ? matching any characters, slashes too) or
// "[re:REGEX]" (found anywhere in the address), then "key = value" lines that
// set the options of the rows it matches, in the batch's text forms; "#" starts
// a comment line. The first section whose pattern matches a row's address (as
// the page loads it) is its rule; its values replace the run's.
class SiteRules
{
public:
    // Reads the file, checking every value; false with `problem` ("FILE:LINE: …").
    bool read(const QString &path, QString *problem);

    bool isEmpty() const { return m_rules.isEmpty(); }
    int size() const { return int(m_rules.size()); }
    // Some rule sets the output format.
    bool setsFormat() const;
    // The index of the first rule matching the row's address, or -1.
    int ruleFor(const QString &row) const;
    // The rule's pattern as written.
    QString patternOf(int rule) const { return m_rules.at(rule).pattern; }
    // `base` with the rule's values in place of its own.
    RowSettings applied(int rule, const RowSettings &base) const;

    // The keys a section may set.
    static const QStringList &keys();

private:
    struct Setting {
        QString key;
        QString value;
    };
    struct Rule {
        QString pattern;
        QRegularExpression match;
        QList<Setting> settings;
    };
    // Stores one value into `settings`, or returns what was wanted.
    static QString apply(const Setting &setting, RowSettings &settings);

    QList<Rule> m_rules;
};
