#include "support/ErrorGuard.h"

#include "support/ApplicationError.h"
#include "support/RuntimeError.h"

#include <utility>

ErrorGuard::ErrorGuard(IMessageBoxes &boxes, QString qualifiedName)
    : m_boxes(boxes), m_qualifiedName(std::move(qualifiedName))
{}

bool ErrorGuard::run(int line, const Statement &statement)
{
    m_currentLine = line;
    return guarded(statement);
}

bool ErrorGuard::run(const Statement &statement)
{
    return guarded(statement);
}

bool ErrorGuard::blockIf(int line, const Test &test)
{
    bool holds = true;
    run(line, [&] { holds = test(); });
    return holds;
}

bool ErrorGuard::lineIf(int line, const Test &test)
{
    bool holds = false;
    run(line, [&] { holds = test(); });
    return holds;
}

bool ErrorGuard::guarded(const Statement &statement)
{
    try {
        statement();
        return true;
    } catch (const RuntimeError &error) {
        report(error.description());
    } catch (const std::exception &error) {
        report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        report(QStringLiteral("Unknown error"));
    }
    return false;
}

void ErrorGuard::report(const QString &description)
{
    ++m_failures;
    // The report itself must not throw out of a handler.
    try {
        ShowApplicationError(m_boxes, description, m_qualifiedName, m_currentLine);
    } catch (...) {
    }
}
