#pragma once

#include "support/RuntimeError.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The name of a row's output file, made from its address alone without its
// user info (one leading byte-order mark is not part of the address), ending in
// the extension; control characters and bidirectional marks become blanks.
QString MakeOutputFileName(const QString &url, const QString &extension = QStringLiteral(".txt"));
// The name in ASCII without blanks or shell-special characters (--restrict-filenames):
// letters Qt can decompose keep their base letter ("é" is "e"), other non-ASCII
// characters, controls, blanks and !"#$&'()*;<>?[\]`{|}~ become "_", and a run
// of "_" is one. Slashes are kept.
QString RestrictedFileName(const QString &name);
// A name the file system accepts: names within its limit stay as they are,
// longer ones keep their start, gain a short hash of the whole name and the
// extension (".txt", ".md", ".html" or ".json").
QString FitOutputFileName(const QString &fileName);
// The name's n-th form: number 1 is FitOutputFileName's; a later one puts " (n)"
// before the extension (or at the end) and, when too long, shortens the part
// before it as FitOutputFileName does (start and hash), never the " (n).txt".
// Of a name with folders ("a/b.txt"), only the last part is numbered and fitted.
QString NumberedOutputFileName(const QString &fileName, int number);
// The folder box text, the separator and the file name.
QString MakeOutputPath(const QString &folder, const QString &fileName);

// Writes one output file in three steps. The text goes to a file with a short
// name beside the final one and replaces it only once all of it is on disk;
// a symbolic link in the final name's place is refused, never written through.
// After a failed open, write reports the open's own error and close does nothing.
class OutputFileWriter
{
public:
    OutputFileWriter();
    ~OutputFileWriter();

    void open(const QString &path);
    void write(const QString &pageText);
    void close();

    static constexpr int MaxFileNameBytes = 255;

private:
    void discard();
    [[noreturn]] void fail(const RuntimeError &error);

    QString m_path;
    QByteArray m_temporaryPath;
    int m_descriptor = -1;
    bool m_failed = false;
    std::optional<RuntimeError> m_openError;
};
