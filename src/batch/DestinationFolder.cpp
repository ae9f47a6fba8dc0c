#include "batch/DestinationFolder.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes the missing folders of the path, parents first; 0 or the first failure's errno.
int makePath(const QString &path)
{
    const QString parent = QFileInfo(path).path();
    if (parent != path && !QFileInfo(parent).exists()) {
        const int error = makePath(parent);
        if (error != 0)
            return error;
    }
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0 || (errno == EEXIST && QFileInfo(path).isDir()))
        return 0;
    return errno;
}

} // namespace

QString DestinationFolder::prepare(const QString &path)
{
    const QString folder = QDir::cleanPath(path);
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("cannot use folder %1: %2").arg(path, reasonOf(ENOTDIR));
    if (!info.exists()) {
        const int error = makePath(folder);
        if (error != 0)
            return QStringLiteral("cannot create folder %1: %2").arg(path, reasonOf(error));
    }
    return {};
}
