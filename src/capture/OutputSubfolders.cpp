#include "capture/OutputSubfolders.h"

#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString refusal(const QString &path, int error)
{
    const QString reason = error == ELOOP || error == ENOTDIR
        ? QStringLiteral("a symbolic link or a file is in its place")
        : QString::fromLocal8Bit(std::strerror(error));
    return QStringLiteral("Cannot create folder: %1 (%2)").arg(path, reason);
}

} // namespace

bool OutputSubfolders::make(const QString &folder, const QString &name, QString *failure)
{
    QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return true;
    parts.removeLast();
    int at = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at < 0) {
        *failure = refusal(folder, errno);
        return false;
    }
    QString path = folder;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray encoded = QFile::encodeName(part);
        if (::mkdirat(at, encoded.constData(), 0777) != 0 && errno != EEXIST) {
            *failure = refusal(path, errno);
            ::close(at);
            return false;
        }
        const int next = ::openat(at, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(at);
        if (next < 0) {
            *failure = refusal(path, error);
            return false;
        }
        at = next;
    }
    ::close(at);
    return true;
}
