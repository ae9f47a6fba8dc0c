#include "support/UnifiedDiff.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <dtl/dtl.hpp>
#include <vector>

namespace {

constexpr qsizetype Context = 3;

// A text's lines, without their newlines.
struct Lines {
    Lines() = default;
    Q_DISABLE_COPY_MOVE(Lines) // `changed` points into the object

    QStringList text;
    bool endsInNewline = true; // false when the last line has none
    std::vector<int> ids; // equal lines have equal ids
    // Whether each line is changed, with an unchanged line on either side: changed[-1], changed[size].
    std::vector<char> changedStore;
    char *changed = nullptr;

    qsizetype size() const { return text.size(); }
};

void split(const QString &text, Lines &lines)
{
    if (!text.isEmpty()) {
        lines.text = text.split(QLatin1Char('\n'));
        if (lines.text.constLast().isEmpty())
            lines.text.removeLast();
        else
            lines.endsInNewline = false;
    }
    lines.changedStore.assign(size_t(lines.size()) + 2, 0);
    lines.changed = lines.changedStore.data() + 1;
}

// Numbers the lines of both texts alike, and gives the count of numbers; a last line without newline differs from
// the same line with one.
int number(Lines &before, Lines &after)
{
    QHash<QString, int> ids;
    for (Lines *lines : {&before, &after}) {
        lines->ids.reserve(size_t(lines->size()));
        for (qsizetype i = 0; i < lines->size(); ++i) {
            const bool unended = i == lines->size() - 1 && !lines->endsInNewline;
            const QString key = unended ? lines->text.at(i) + QLatin1Char('\n') : lines->text.at(i);
            auto id = ids.constFind(key);
            if (id == ids.constEnd())
                id = ids.insert(key, int(ids.size()));
            lines->ids.push_back(id.value());
        }
    }
    return int(ids.size());
}

// dtl's edit script takes time and memory up to the product of the lengths it compares: longer parts are first cut
// at the lines found once in each, in the same order, and a part still too long between two such lines is taken as
// replaced whole, as is what follows once the scripts of one diff have taken their share.
constexpr qint64 MaxLinePairs = 250'000;
constexpr qint64 MaxDiffLinePairs = 4'000'000;

// Lines [from, to) of a text.
struct Span {
    qsizetype from = 0;
    qsizetype to = 0;

    qsizetype size() const { return to - from; }
};

// The lines found once in each span, paired: the longest list of pairs in order in both texts.
std::vector<std::pair<qsizetype, qsizetype>> uniquePairs(const Lines &before, Span a, const Lines &after, Span b,
                                                         int idCount)
{
    constexpr qsizetype None = -1;
    constexpr qsizetype Several = -2;
    std::vector<qsizetype> inA(size_t(idCount), None);
    std::vector<qsizetype> inB(size_t(idCount), None);
    const auto note = [](std::vector<qsizetype> &at, int id, qsizetype i) {
        at[size_t(id)] = at[size_t(id)] == None ? i : Several;
    };
    for (qsizetype i = a.from; i < a.to; ++i)
        note(inA, before.ids[size_t(i)], i);
    for (qsizetype j = b.from; j < b.to; ++j)
        note(inB, after.ids[size_t(j)], j);
    std::vector<std::pair<qsizetype, qsizetype>> pairs;
    for (qsizetype i = a.from; i < a.to; ++i) {
        const qsizetype j = inB[size_t(before.ids[size_t(i)])];
        if (inA[size_t(before.ids[size_t(i)])] == i && j >= 0)
            pairs.emplace_back(i, j);
    }
    // The longest run of pairs whose lines in `after` rise too (patience sorting).
    std::vector<size_t> tops; // the pair ending the best run of each length
    std::vector<size_t> previous(pairs.size());
    for (size_t p = 0; p < pairs.size(); ++p) {
        const auto below = [&](size_t top, size_t q) { return pairs[top].second < pairs[q].second; };
        const auto place = std::lower_bound(tops.begin(), tops.end(), p, below);
        previous[p] = place == tops.begin() ? p : *(place - 1);
        if (place == tops.end())
            tops.push_back(p);
        else
            *place = p;
    }
    std::vector<std::pair<qsizetype, qsizetype>> run;
    if (!tops.empty()) {
        for (size_t p = tops.back();; p = previous[p]) {
            run.push_back(pairs[p]);
            if (previous[p] == p)
                break;
        }
    }
    std::reverse(run.begin(), run.end());
    return run;
}

void markChanged(Lines &lines, Span span)
{
    std::fill(lines.changed + span.from, lines.changed + span.to, 1);
}

void editScript(Lines &before, Span a, Lines &after, Span b)
{
    const std::vector<int> partA(before.ids.begin() + a.from, before.ids.begin() + a.to);
    const std::vector<int> partB(after.ids.begin() + b.from, after.ids.begin() + b.to);
    dtl::Diff<int, std::vector<int>> diff(partA, partB);
    diff.compose();
    for (const auto &[id, info] : diff.getSes().getSequence()) {
        if (info.type == dtl::SES_DELETE)
            before.changed[a.from + info.beforeIdx - 1] = 1;
        else if (info.type == dtl::SES_ADD)
            after.changed[b.from + info.afterIdx - 1] = 1;
    }
}

// Marks the changed lines of the two spans, with a shortest edit script of what lies between their common start and
// end; a long part is cut first when `cut`. `pairsLeft`: what edit scripts may still take.
void compare(Lines &before, Span a, Lines &after, Span b, int idCount, bool cut, qint64 &pairsLeft)
{
    while (a.size() > 0 && b.size() > 0 && before.ids[size_t(a.from)] == after.ids[size_t(b.from)]) {
        ++a.from;
        ++b.from;
    }
    while (a.size() > 0 && b.size() > 0 && before.ids[size_t(a.to - 1)] == after.ids[size_t(b.to - 1)]) {
        --a.to;
        --b.to;
    }
    const qint64 pairs = (qint64(a.size()) + 1) * (b.size() + 1);
    const bool small = pairs <= MaxLinePairs && pairs <= pairsLeft;
    if (a.size() == 0 || b.size() == 0 || (!small && !cut)) {
        markChanged(before, a);
        markChanged(after, b);
    } else if (small) {
        pairsLeft -= pairs;
        editScript(before, a, after, b);
    } else {
        Span restA = a;
        Span restB = b;
        for (const auto &[i, j] : uniquePairs(before, a, after, b, idCount)) {
            compare(before, {restA.from, i}, after, {restB.from, j}, idCount, false, pairsLeft);
            restA.from = i + 1;
            restB.from = j + 1;
        }
        compare(before, restA, after, restB, idCount, false, pairsLeft);
    }
}

// Moves each run of changed lines over the equal lines around it, down as far as it goes, merging with the runs it
// meets; then back up to the last place where it ends beside a change of the other text, so that the two read as one.
void slide(Lines &lines, const Lines &other)
{
    char *changed = lines.changed;
    const std::vector<int> &ids = lines.ids;
    const qsizetype size = lines.size();
    // The other text's unchanged lines, which pair with this one's in order, then its end.
    std::vector<qsizetype> partners;
    for (qsizetype j = 0; j < other.size(); ++j) {
        if (!other.changed[j])
            partners.push_back(j);
    }
    partners.push_back(other.size());
    // Whether a run with `unchanged` unchanged lines before it has a change of the other text at its end.
    const auto besideOther = [&](qsizetype unchanged) { return other.changed[partners[size_t(unchanged)] - 1] != 0; };

    qsizetype unchanged = 0;
    qsizetype start = 0;
    for (;;) {
        while (start < size && !changed[start]) {
            ++start;
            ++unchanged;
        }
        if (start == size)
            break;
        qsizetype end = start;
        while (changed[end])
            ++end;
        qsizetype length = 0;
        qsizetype aligned = -1;
        do {
            length = end - start;
            while (start > 0 && ids[size_t(start - 1)] == ids[size_t(end - 1)]) {
                changed[--start] = 1;
                changed[--end] = 0;
                --unchanged;
                while (changed[start - 1])
                    --start;
            }
            aligned = besideOther(unchanged) ? end : -1;
            while (end < size && ids[size_t(start)] == ids[size_t(end)]) {
                changed[start++] = 0;
                changed[end++] = 1;
                ++unchanged;
                while (changed[end])
                    ++end;
                if (besideOther(unchanged))
                    aligned = end;
            }
        } while (length != end - start);
        while (aligned >= 0 && end > aligned) {
            changed[--start] = 1;
            changed[--end] = 0;
            --unchanged;
        }
        start = end;
    }
}

// Lines taken out of `before` (at `from`) and put into `after` (at `to`) in their place.
struct Change {
    qsizetype from = 0;
    qsizetype removed = 0;
    qsizetype to = 0;
    qsizetype added = 0;
};

std::vector<Change> changesOf(const Lines &before, const Lines &after)
{
    std::vector<Change> changes;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < before.size() || j < after.size()) {
        if (!before.changed[i] && !after.changed[j]) {
            ++i;
            ++j;
            continue;
        }
        Change change{i, 0, j, 0};
        while (before.changed[i])
            ++i;
        while (after.changed[j])
            ++j;
        change.removed = i - change.from;
        change.added = j - change.to;
        changes.push_back(change);
    }
    return changes;
}

// A hunk header's range as diff writes it: "first,count", "first" for one line, "line before,0" for none.
QString range(qsizetype first, qsizetype count)
{
    if (count == 0)
        return QStringLiteral("%1,0").arg(first);
    if (count == 1)
        return QString::number(first + 1);
    return QStringLiteral("%1,%2").arg(first + 1).arg(count);
}

void appendLine(QString &diff, QChar mark, const Lines &lines, qsizetype i)
{
    diff += mark;
    diff += lines.text.at(i);
    diff += QLatin1Char('\n');
    if (i == lines.size() - 1 && !lines.endsInNewline)
        diff += QLatin1String("\\ No newline at end of file\n");
}

// The hunk of changes [first, last], with their context.
void appendHunk(QString &diff, const Lines &before, const Lines &after, const Change *first, const Change *last)
{
    const qsizetype from = std::max<qsizetype>(0, first->from - Context);
    const qsizetype to = first->to - (first->from - from);
    const qsizetype fromEnd = std::min(before.size(), last->from + last->removed + Context);
    const qsizetype toEnd = last->to + last->added + (fromEnd - last->from - last->removed);
    diff += QStringLiteral("@@ -%1 +%2 @@\n").arg(range(from, fromEnd - from), range(to, toEnd - to));
    qsizetype i = from;
    for (const Change *change = first; change <= last; ++change) {
        for (; i < change->from; ++i)
            appendLine(diff, QLatin1Char(' '), before, i);
        for (; i < change->from + change->removed; ++i)
            appendLine(diff, QLatin1Char('-'), before, i);
        for (qsizetype j = change->to; j < change->to + change->added; ++j)
            appendLine(diff, QLatin1Char('+'), after, j);
    }
    for (; i < fromEnd; ++i)
        appendLine(diff, QLatin1Char(' '), before, i);
}

} // namespace

QString UnifiedDiff::of(const QString &before, const QString &after, const QString &fromName, const QString &toName)
{
    if (before == after)
        return {};
    Lines from;
    Lines to;
    split(before, from);
    split(after, to);
    const int idCount = number(from, to);
    qint64 pairsLeft = MaxDiffLinePairs;
    compare(from, {0, from.size()}, to, {0, to.size()}, idCount, true, pairsLeft);
    slide(from, to);
    slide(to, from);
    const std::vector<Change> changes = changesOf(from, to);
    QString diff = QStringLiteral("--- %1\n+++ %2\n").arg(fromName, toName);
    for (size_t first = 0; first < changes.size();) {
        size_t last = first;
        // Changes closer than twice the context share a hunk.
        while (last + 1 < changes.size()
               && changes[last + 1].from - changes[last].from - changes[last].removed <= 2 * Context)
            ++last;
        appendHunk(diff, from, to, &changes[first], &changes[last]);
        first = last + 1;
    }
    return diff;
}
