#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QSaveFile;

// The name of a row's output file, made from its address alone.
QString MakeOutputFileName(const QString &url);
// A name the file system accepts: names within its limit stay as they are,
// longer ones keep their start, gain a short hash of the whole name and ".txt".
QString FitOutputFileName(const QString &fileName);
// The folder box text, the separator and the file name.
QString MakeOutputPath(const QString &folder, const QString &fileName);

// Writes one output file in three steps. The text goes to a file beside the
// final name and replaces it only once all of it is on disk.
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
    std::unique_ptr<QSaveFile> m_file;
    bool m_failed = false;
};
