#pragma once

#include <QFile>
#include <QSet>
#include <QString>

class OutputNames;

// What earlier runs saved: the archive file's "address<TAB>file name" lines,
// whose addresses are skipped and whose names stay reserved, and the files
// already in the folder, which --no-clobber leaves alone.
//
// The archive's lines after its header line escape what a plain line cannot
// hold (TAB, line breaks, backslash, blanks at either edge); lines before any
// header, as older archives are, are read trimmed and split at the last TAB.
// An address holding user info is written without it, told apart by a hash.
class SavedRows
{
public:
    // The line that starts the escaped form, written before the first line this program adds.
    static QByteArray header() { return QByteArrayLiteral("# textorin archive 2"); }
    // The address as the archive writes it and rows are looked up by: an address
    // with user info ("https://me:pw@h/") loses it and gains 10 hex digits of the
    // row's SHA-256 ("https://h/ (user info 0123456789)"); others stay as they are.
    static QString recordedAddress(const QString &row);

    // Reads the archive (a missing one, or one that is no regular file, is
    // empty) and opens it for appending; false with a reason when it cannot be
    // read or opened.
    bool openArchive(const QString &path, OutputNames &names, QString *error);
    void setNoClobber(bool on) { m_noClobber = on; }

    // Why the row is skipped ("in the archive", "exists"), or empty.
    QString skipReason(const QString &url, const QString &outputPath) const;
    // Records a saved row, by its recorded address, and its file's name within
    // the folder in the archive, at once on disk; false when it could not.
    bool saved(const QString &url, const QString &fileName);
    // The system's reason for the archive's last failed write, or empty.
    QString writeError() const { return m_writeError; }

private:
    static QByteArray digest(const QString &url);
    void readArchive(OutputNames &names);

    QFile m_archive;
    QSet<QByteArray> m_archived;
    QString m_writeError;
    bool m_escaped = false; // the archive's end is in the escaped form
    bool m_noClobber = false;
};
