#include "engine/chromium/ProfileFolder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

ProfileFolder::ProfileFolder(const QString &base)
    : m_folder(base + QLatin1Char('/') + QLatin1String(NamePrefix) + QStringLiteral("XXXXXX"))
{
    if (m_folder.isValid() && !lock())
        m_folder.remove();
}

ProfileFolder::~ProfileFolder()
{
    // The folder goes while it is still held, so no other program takes it meanwhile.
    m_folder.remove();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool ProfileFolder::lock()
{
    // The lock is taken under another name and then renamed, so that a lock file
    // is never seen free while its program lives. Chromium does not inherit it.
    const QByteArray locking = QFile::encodeName(m_folder.filePath(QStringLiteral(".locking")));
    const QByteArray locked = QFile::encodeName(m_folder.filePath(QLatin1String(LockName)));
    const int fd = ::open(locking.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || std::rename(locking.constData(), locked.constData()) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}
