#include "batch/SavedRows.h"

#include "capture/OutputNames.h"

#include <QCryptographicHash>
#include <QFileInfo>

QByteArray SavedRows::digest(const QString &url)
{
    return QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Md5);
}

bool SavedRows::openArchive(const QString &path, OutputNames &names, QString *error)
{
    m_archive.setFileName(path);
    if (QFileInfo(path).isDir()) {
        *error = path + QStringLiteral(" is a folder");
        return false;
    }
    if (m_archive.exists()) {
        if (!m_archive.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, m_archive.errorString());
            return false;
        }
        while (!m_archive.atEnd()) {
            const QString line = QString::fromUtf8(m_archive.readLine()).trimmed();
            const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
            if (tab <= 0)
                continue;
            const QString address = line.left(tab);
            m_archived.insert(digest(address));
            names.take(address, line.mid(tab + 1));
        }
        m_archive.close();
    }
    if (!m_archive.open(QIODevice::WriteOnly | QIODevice::Append)) {
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

void SavedRows::saved(const QString &url, const QString &outputPath)
{
    if (!m_archive.isOpen())
        return;
    m_archive.write(url.toUtf8() + '\t' + QFileInfo(outputPath).fileName().toUtf8() + '\n');
    m_archive.flush();
}
