#include "capture/OutputSubfolders.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString cannotCreate(const QString &path, int error)
{
    const QString reason = error == ELOOP || error == ENOTDIR
        ? QStringLiteral("a symbolic link or a file is in its place")
        : QString::fromLocal8Bit(std::strerror(error));
    return QStringLiteral("Cannot create folder: %1 (%2)").arg(path, reason);
}

int openFolder(int at, const QByteArray &name)
{
    return ::openat(at, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes the empty folder `name` in `parent` when it is still the one open as `folder`.
bool removeFolder(int parent, const QByteArray &name, int folder)
{
    struct stat opened;
    struct stat named;
    return ::fstat(folder, &opened) == 0 && ::fstatat(parent, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
        && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino
        && ::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0;
}

} // namespace

OutputSubfolders::OutputSubfolders(const QString &folder, const QString &name)
    : m_folder(folder), m_parts(name.split(QLatin1Char('/'), Qt::SkipEmptyParts))
{
    if (!m_parts.isEmpty())
        m_parts.removeLast();
}

bool OutputSubfolders::make(QString *failure)
{
    if (m_parts.isEmpty())
        return true;
    int at = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at < 0) {
        *failure = cannotCreate(m_folder, errno);
        return false;
    }
    QString path = m_folder;
    for (qsizetype i = 0; i < m_parts.size(); ++i) {
        path += QLatin1Char('/') + m_parts.at(i);
        const QByteArray encoded = QFile::encodeName(m_parts.at(i));
        if (::mkdirat(at, encoded.constData(), 0777) == 0) {
            if (m_firstMade < 0)
                m_firstMade = i;
            m_lastMade = i;
        } else if (errno != EEXIST) {
            *failure = cannotCreate(path, errno);
            ::close(at);
            return false;
        }
        const int next = openFolder(at, encoded);
        const int error = errno;
        ::close(at);
        if (next < 0) {
            *failure = cannotCreate(path, error);
            return false;
        }
        at = next;
    }
    ::close(at);
    return true;
}

void OutputSubfolders::removeMade()
{
    if (m_firstMade < 0)
        return;
    // Down to the deepest folder made, then up through "..": a path that deep may
    // be longer than the system takes.
    int at = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (qsizetype i = 0; i <= m_lastMade && at >= 0; ++i) {
        const int next = openFolder(at, QFile::encodeName(m_parts.at(i)));
        ::close(at);
        at = next;
    }
    for (qsizetype i = m_lastMade; i >= m_firstMade && at >= 0; --i) {
        const int parent = ::openat(at, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool removed = parent >= 0 && removeFolder(parent, QFile::encodeName(m_parts.at(i)), at);
        ::close(at);
        at = removed ? parent : -1;
        if (!removed && parent >= 0)
            ::close(parent);
    }
    if (at >= 0)
        ::close(at);
    m_firstMade = m_lastMade = -1;
}
