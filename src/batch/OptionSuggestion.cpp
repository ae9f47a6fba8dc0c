#include "batch/OptionSuggestion.h"

#include <QHash>

#include <algorithm>
#include <vector>

QString OptionSuggestion::ofNeighbouringTool(const QString &dashed)
{
    static const QHash<QString, QString> flags{
        {QStringLiteral("-t"), QStringLiteral("--tries")},
        {QStringLiteral("--retry"), QStringLiteral("--tries")},
        {QStringLiteral("-T"), QStringLiteral("--timeout")},
        {QStringLiteral("--max-time"), QStringLiteral("--timeout")},
        {QStringLiteral("--connect-timeout"), QStringLiteral("--timeout")},
        {QStringLiteral("-w"), QStringLiteral("--wait")},
        {QStringLiteral("-k"), QStringLiteral("--no-check-certificate")},
        {QStringLiteral("--insecure"), QStringLiteral("--no-check-certificate")},
        {QStringLiteral("--cacert"), QStringLiteral("--ca-certificate")},
        {QStringLiteral("--add-header"), QStringLiteral("--header")},
        {QStringLiteral("-U"), QStringLiteral("--user-agent")},
        {QStringLiteral("-x"), QStringLiteral("--proxy")},
        {QStringLiteral("-b"), QStringLiteral("--cookies")},
        {QStringLiteral("--load-cookies"), QStringLiteral("--cookies")},
        {QStringLiteral("-c"), QStringLiteral("--save-cookies")},
        {QStringLiteral("--cookie-jar"), QStringLiteral("--save-cookies")},
        {QStringLiteral("--directory-prefix"), QStringLiteral("-P")},
        {QStringLiteral("--json"), QStringLiteral("--format json")},
        {QStringLiteral("--markdown"), QStringLiteral("--format markdown")},
        {QStringLiteral("--download-archive"), QStringLiteral("--archive")},
        {QStringLiteral("-a"), QStringLiteral("-i")},
        {QStringLiteral("--batch-file"), QStringLiteral("-i")},
        {QStringLiteral("-V"), QStringLiteral("--version")},
    };
    return flags.value(dashed);
}

int OptionSuggestion::distance(const QString &a, const QString &b)
{
    const qsizetype rows = a.size() + 1;
    const qsizetype columns = b.size() + 1;
    std::vector<int> d(size_t(rows * columns));
    const auto at = [&](qsizetype i, qsizetype j) -> int & { return d[size_t(i * columns + j)]; };
    for (qsizetype i = 0; i < rows; ++i)
        at(i, 0) = int(i);
    for (qsizetype j = 0; j < columns; ++j)
        at(0, j) = int(j);
    for (qsizetype i = 1; i < rows; ++i) {
        for (qsizetype j = 1; j < columns; ++j) {
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            int best = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                best = std::min(best, at(i - 2, j - 2) + 1);
            at(i, j) = best;
        }
    }
    return at(rows - 1, columns - 1);
}

QString OptionSuggestion::closest(const QString &unknown, const QStringList &known)
{
    const QString typed = unknown.toLower();
    if (typed.size() < 2)
        return {};
    QStringList begun;
    for (const QString &name : known) {
        if (name.startsWith(typed))
            begun << name;
    }
    if (begun.size() == 1)
        return begun.front();
    // About one slip in three letters, at most three.
    const int most = int(std::clamp<qsizetype>(typed.size() / 3, 1, 3));
    QString best;
    int bestDistance = most + 1;
    for (const QString &name : known) {
        const int edits = distance(typed, name);
        if (edits < bestDistance) {
            best = name;
            bestDistance = edits;
        }
    }
    return best;
}
