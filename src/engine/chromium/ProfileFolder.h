#pragma once

#include <QString>
#include <QTemporaryDir>

// The engine's profile folder, textorin-XXXXXX under a base folder: made with
// the object, held by this program through a lock file (flock) as long as the
// object lives, and removed with it. A program that dies leaves the lock free,
// so the next one knows the folder for left behind (see AbandonedProfiles).
class ProfileFolder
{
public:
    static constexpr const char *NamePrefix = "textorin-";
    static constexpr const char *LockName = "textorin.lock";

    explicit ProfileFolder(const QString &base);
    ~ProfileFolder();
    ProfileFolder(const ProfileFolder &) = delete;
    ProfileFolder &operator=(const ProfileFolder &) = delete;

    // Made and locked.
    bool isValid() const { return m_lockFd >= 0; }
    QString path() const { return m_folder.path(); }

private:
    bool lock();

    QTemporaryDir m_folder;
    int m_lockFd = -1;
};
