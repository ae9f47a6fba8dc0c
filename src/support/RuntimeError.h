#pragma once

#include <QString>

#include <exception>

// A run-time error of the system's own code: a number and the description the
// error report shows.
class RuntimeError : public std::exception
{
public:
    enum Number {
        InvalidArgument = 5,
        FileNotFound = 53,
        PathFileAccess = 75,
        ObjectNotSet = 91,
        Generic = 1000,
    };

    explicit RuntimeError(const QString &description, int number = Generic);

    int number() const noexcept { return m_number; }
    QString description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

    static RuntimeError invalidArgument();

private:
    QString m_description;
    int m_number;
    QByteArray m_what;
};
