#pragma once

#include <QString>
#include <QStringList>

// Output names made from a template such as "{host}/{path}.{ext}": the fields
// are those of the address, known before its page loads. {path} keeps its
// slashes as folders; a slash in any other field, NUL and \ * : ? < > | become
// "_". A name holding a "." or ".." folder, or starting with "/", is refused,
// so that every name stays inside the destination folder. Each part of the
// name is cut to 255 bytes, keeping a hash of what was cut.
class NameTemplate
{
public:
    // Why the template cannot be used (an unknown field, an unclosed brace, an
    // absolute name, a "." or ".." part), or empty.
    static QString problem(const QString &pattern);
    static const QStringList &fields();

    NameTemplate() = default;
    // A template without {ext} gets ".EXTENSION" at its end, unless it ends so already.
    NameTemplate(const QString &pattern, const QString &extension);

    bool isEmpty() const { return m_pattern.isEmpty(); }
    // Whether the template names each address apart: it has a field besides {ext}.
    bool hasFields() const;
    bool hasRowField() const { return m_pattern.contains(QStringLiteral("{row}")); }
    // The fields' values as RestrictedFileName gives them.
    void setRestricted(bool restricted) { m_restricted = restricted; }
    // The name of the row's file, relative to the destination folder; empty
    // with `failure` set when no safe name can be made (the row then fails).
    QString expand(const QString &address, qint64 row, QString *failure) const;

private:
    QString field(const QString &name, const QString &address, qint64 row) const;

    QString m_pattern;
    QString m_extension; // without its dot
    bool m_restricted = false;
};
