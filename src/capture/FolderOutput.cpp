#include "capture/FolderOutput.h"

#include "capture/OutputFile.h"
#include "capture/OutputSubfolders.h"
#include "support/RuntimeError.h"

QString FolderOutput::pathOf(const QueuedRow &row) const
{
    return MakeOutputPath(folder(), row.name);
}

qint64 FolderOutput::write(const QueuedRow &row, const QString &path, const QString &text, QString *failure)
{
    if (m_kept && m_kept(path)) {
        *failure = QStringLiteral("the name is one of this run's own files");
        return -1;
    }
    OutputSubfolders folders(folder(), row.name);
    if (folders.make(failure) && writeFile(row, path, text, failure))
        return text.toUtf8().size();
    folders.removeMade();
    return -1;
}

bool FolderOutput::writeFile(const QueuedRow &, const QString &path, const QString &text, QString *failure)
{
    try {
        OutputFileWriter writer;
        writer.open(path);
        writer.write(text);
        writer.close();
        return true;
    } catch (const RuntimeError &error) {
        *failure = error.description();
    }
    return false;
}
