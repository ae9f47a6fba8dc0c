#pragma once

#include <QString>

#include <functional>

class IMessageBoxes;

// The error guard of one running operation. Each statement runs through the
// guard; a statement that throws is reported with the operation's current
// line and the operation resumes with the statement after it.
class ErrorGuard
{
public:
    using Statement = std::function<void()>;
    using Test = std::function<bool()>;

    ErrorGuard(IMessageBoxes &boxes, QString qualifiedName);

    int currentLine() const { return m_currentLine; }
    int failureCount() const { return m_failures; }

    // Enters numbered line `line` and runs its statement; false when it failed.
    bool run(int line, const Statement &statement);
    // Runs a further statement on the current numbered line.
    bool run(const Statement &statement);

    // Condition of a block: true when it holds, and also when the test itself
    // failed, since execution resumes with the block's first statement.
    bool blockIf(int line, const Test &test);
    // One-line condition: a failed test goes on with the next line (false).
    bool lineIf(int line, const Test &test);

private:
    bool guarded(const Statement &statement);
    void report(const QString &description);

    IMessageBoxes &m_boxes;
    QString m_qualifiedName;
    int m_currentLine = 0;
    int m_failures = 0;
};
