#include "batch/SavedRows.h"

#include "capture/OutputNames.h"
#include "engine/PageAddress.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace {

bool needsEscape(const QString &field)
{
    for (const QChar character : field) {
        if (character == u'\t' || character == u'\n' || character == u'\r' || character == u'\\')
            return true;
    }
    return field.startsWith(u' ') || field.endsWith(u' ');
}

// One field of an escaped line, and back.
QByteArray escaped(const QString &field)
{
    const QByteArray bytes = field.toUtf8();
    if (!needsEscape(field))
        return bytes;
    QByteArray line;
    line.reserve(bytes.size() + 8);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char byte = bytes.at(i);
        const bool edge = i == 0 || i == bytes.size() - 1;
        switch (byte) {
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        case '\\': line += "\\\\"; break;
        case ' ': line += edge ? QByteArrayLiteral("\\s") : QByteArrayLiteral(" "); break;
        default: line += byte;
        }
    }
    return line;
}

QString unescaped(const QByteArray &field)
{
    if (!field.contains('\\'))
        return QString::fromUtf8(field);
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) != '\\' || i + 1 == field.size()) {
            bytes += field.at(i);
            continue;
        }
        switch (field.at(++i)) {
        case 't': bytes += '\t'; break;
        case 'n': bytes += '\n'; break;
        case 'r': bytes += '\r'; break;
        case 's': bytes += ' '; break;
        case '\\': bytes += '\\'; break;
        default: bytes += '\\'; bytes += field.at(i); // not an escape: kept as written
        }
    }
    return QString::fromUtf8(bytes);
}

} // namespace

QString SavedRows::recordedAddress(const QString &row)
{
    const QString shown = PageAddress::withoutUserInfo(row);
    if (shown == row)
        return row;
    const QByteArray hash = QCryptographicHash::hash(row.toUtf8(), QCryptographicHash::Sha256).toHex().left(10);
    return shown + QStringLiteral(" (user info %1)").arg(QLatin1String(hash));
}

// An older archive's address with user info is found as its recorded form.
QByteArray SavedRows::digest(const QString &url)
{
    return QCryptographicHash::hash(recordedAddress(url).toUtf8(), QCryptographicHash::Md5);
}

void SavedRows::readArchive(OutputNames &names)
{
    while (!m_archive.atEnd()) {
        QByteArray line = m_archive.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (m_escaped && line.endsWith('\r'))
            line.chop(1);
        if (line == header()) {
            m_escaped = true;
            continue;
        }
        QString address;
        QString fileName;
        if (m_escaped) {
            const qsizetype tab = line.indexOf('\t');
            if (tab <= 0)
                continue;
            address = unescaped(line.left(tab));
            fileName = unescaped(line.mid(tab + 1));
        } else {
            const QString text = QString::fromUtf8(line).trimmed();
            const qsizetype tab = text.lastIndexOf(QLatin1Char('\t'));
            if (tab <= 0)
                continue;
            address = text.left(tab);
            fileName = text.mid(tab + 1);
        }
        m_archived.insert(digest(address));
        names.take(address, fileName);
    }
}

bool SavedRows::openArchive(const QString &path, OutputNames &names, QString *error)
{
    m_archive.setFileName(path);
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = path + QStringLiteral(" is a folder");
        return false;
    }
    // A device or pipe is written only: /dev/null reads empty, /dev/full never ends.
    if (info.isFile()) {
        if (!m_archive.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, m_archive.errorString());
            return false;
        }
        readArchive(names);
        m_archive.close();
    }
    // Unbuffered: each line is one write, whole on disk or failed. A device has no end to seek.
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (info.isFile() || !info.exists())
        mode |= QIODevice::Append;
    if (!m_archive.open(mode)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, m_archive.errorString());
        return false;
    }
    return true;
}

QString SavedRows::skipReason(const QString &url, const QString &outputPath) const
{
    if (!m_archived.isEmpty() && m_archived.contains(digest(url)))
        return QStringLiteral("in the archive");
    const QFileInfo file(outputPath);
    if (m_noClobber && (file.exists() || file.isSymLink()))
        return QStringLiteral("exists");
    return {};
}

bool SavedRows::saved(const QString &url, const QString &fileName)
{
    if (!m_archive.isOpen())
        return true;
    QByteArray line = escaped(recordedAddress(url)) + '\t' + escaped(fileName) + '\n';
    // Lines after the header are escaped; an older archive's own lines stay as they are.
    if (!m_escaped)
        line.prepend(header() + '\n');
    if (m_archive.write(line) == line.size()) {
        m_escaped = true;
        return true;
    }
    m_writeError = m_archive.errorString();
    m_archive.unsetError();
    return false;
}
