#include "batch/BatchConfigFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString BatchConfigFile::defaultPath(const QProcessEnvironment &environment)
{
    QString base = environment.value(QStringLiteral("XDG_CONFIG_HOME"));
    // A relative XDG_CONFIG_HOME is to be ignored.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        const QString home = environment.value(QStringLiteral("HOME"));
        if (home.isEmpty())
            return {};
        base = home + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/textorin/batch.conf");
}

QString BatchConfigFile::valueOf(const QString &text, const QString &home)
{
    QString value = text.trimmed();
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
        && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    if (!home.isEmpty() && (value == QLatin1String("~") || value.startsWith(QLatin1String("~/"))))
        value.replace(0, 1, home);
    return value;
}

bool BatchConfigFile::read(const QString &path, bool required, QString *error)
{
    m_entries.clear();
    QFile file(path);
    if (!required && !QFileInfo::exists(path))
        return true;
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = QStringLiteral("cannot read %1: it is a folder").arg(path);
        return false;
    }
    // A FIFO or a device would keep the program waiting before it starts.
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("cannot read %1: it is not a regular file").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (bytes.size() > MaxBytes) {
        *error = QStringLiteral("%1: more than 1 MiB, not a configuration file").arg(path);
        return false;
    }
    const QString home = QDir::homePath();
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QString line = lines.at(index).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        Entry entry;
        entry.line = int(index + 1);
        const bool isLong = line.startsWith(QLatin1String("--"));
        if (!line.startsWith(QLatin1Char('-')) || line.size() < 2 || line == QLatin1String("--")) {
            *error = QStringLiteral("%1:%2: not an option: %3").arg(path).arg(entry.line).arg(line);
            return false;
        }
        qsizetype nameEnd = 2;
        if (isLong) {
            while (nameEnd < line.size() && !line.at(nameEnd).isSpace() && line.at(nameEnd) != QLatin1Char('='))
                ++nameEnd;
        }
        entry.name = line.mid(1 + int(isLong), nameEnd - 1 - int(isLong));
        QString rest = line.mid(nameEnd);
        if (isLong && rest.startsWith(QLatin1Char('='))) {
            entry.hasValue = true;
            rest.remove(0, 1);
        }
        entry.hasValue = entry.hasValue || !rest.trimmed().isEmpty();
        entry.value = entry.hasValue ? valueOf(rest, home) : QString();
        m_entries.append(entry);
    }
    return true;
}
