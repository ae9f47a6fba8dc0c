#include "support/PathHelpers.h"

#include "support/RuntimeError.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

bool IsFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isDir();
}

QString FileNameOfPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString GetSpecialFolderText(int folderId)
{
    if (folderId != DesktopFolderId)
        return QString();
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString DesktopFolderPath()
{
    QString path = GetSpecialFolderText(DesktopFolderId);
    if (path.isEmpty())
        throw RuntimeError::invalidArgument();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path == QStringLiteral("/") ? path : path + QLatin1Char('/');
}
