#pragma once

#include <QString>

#include <array>

struct RowResult;

// The options that may help with a common failure, one hint per kind of failure,
// each given once a run: the first time a row fails by it.
class FailureHints
{
public:
    enum class Kind { None, Certificate, TimedOut, Busy, FeedAsSitemap, Count };

    static Kind kindOf(const RowResult &result);
    static QString text(Kind kind);

    // The hint of the row's failure, unless it was given before; else empty.
    QString firstFor(const RowResult &result);

private:
    std::array<bool, int(Kind::Count)> m_given{};
};
