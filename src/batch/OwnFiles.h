#pragma once

#include "batch/BatchOptions.h"

#include <QSet>
#include <QString>

// The files a run reads or writes besides its pages' (its list files, report,
// archive, cookie files and password file), by their real paths, so that no
// page's file takes the place of one of them.
class OwnFiles
{
public:
    OwnFiles() = default;
    explicit OwnFiles(const BatchOptions &options);

    // Another file of the run's own (a crawl's state).
    void add(const QString &path);
    bool contains(const QString &path) const;
    // The path with its symbolic links resolved; a file not there yet is its
    // folder's real path and its name.
    static QString realPath(const QString &path);

private:
    QSet<QString> m_paths;
};
