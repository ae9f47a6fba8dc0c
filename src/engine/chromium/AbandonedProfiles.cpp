#include "engine/chromium/AbandonedProfiles.h"

#include "engine/chromium/ProfileFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A folder without a lock file younger than this may be another program's,
// just made or made by a version that locked nothing.
constexpr qint64 UnlockedAgeSecs = 60 * 60;

bool isOwnFolder(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == ::geteuid();
}

// The last change to the folder or to a folder in it.
QDateTime lastChange(const QString &path)
{
    QDateTime latest = QFileInfo(path).lastModified();
    const QFileInfoList folders = QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &folder : folders)
        latest = std::max(latest, folder.lastModified());
    return latest;
}

// Removes the folder if no program holds it.
bool removeIfAbandoned(const QString &path)
{
    const QByteArray lockPath = QFile::encodeName(path + QLatin1Char('/') + QLatin1String(ProfileFolder::LockName));
    const int fd = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno != ENOENT || lastChange(path).secsTo(QDateTime::currentDateTime()) < UnlockedAgeSecs)
            return false;
        return QDir(path).removeRecursively();
    }
    // Held while removed, so that no other program removes it at the same time.
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool removed = free && QDir(path).removeRecursively();
    ::close(fd);
    return removed;
}

} // namespace

int AbandonedProfiles::removeUnder(const QString &base)
{
    // The names QTemporaryDir gives ProfileFolder's pattern, and no others.
    static const QRegularExpression name(
        QStringLiteral("^%1[A-Za-z0-9]{6}$").arg(QLatin1String(ProfileFolder::NamePrefix)));
    int removed = 0;
    const QStringList entries =
        QDir(base).entryList({QLatin1String(ProfileFolder::NamePrefix) + QLatin1Char('*')},
                             QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &entry : entries) {
        const QString path = base + QLatin1Char('/') + entry;
        if (name.match(entry).hasMatch() && isOwnFolder(path) && removeIfAbandoned(path))
            ++removed;
    }
    return removed;
}
