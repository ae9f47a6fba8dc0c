#include "support/RuntimeError.h"

RuntimeError::RuntimeError(const QString &description, int number)
    : m_description(description), m_number(number), m_what(description.toUtf8())
{}

RuntimeError RuntimeError::invalidArgument()
{
    return RuntimeError(QStringLiteral("Invalid procedure call or argument"), InvalidArgument);
}
