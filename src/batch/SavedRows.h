#pragma once

#include <QFile>
#include <QSet>
#include <QString>

class OutputNames;

// What earlier runs saved: the archive file's "address<TAB>file name" lines,
// whose addresses are skipped and whose names stay reserved, and the files
// already in the folder, which --no-clobber leaves alone.
class SavedRows
{
public:
    // Reads the archive (a missing one is empty) and opens it for appending;
    // false with a reason when it cannot be read or written.
    bool openArchive(const QString &path, OutputNames &names, QString *error);
    void setNoClobber(bool on) { m_noClobber = on; }

    // Why the row is skipped ("in the archive", "exists"), or empty.
    QString skipReason(const QString &url, const QString &outputPath) const;
    // Records a saved row in the archive, at once on disk.
    void saved(const QString &url, const QString &outputPath);

private:
    static QByteArray digest(const QString &url);

    QFile m_archive;
    QSet<QByteArray> m_archived;
    bool m_noClobber = false;
};
