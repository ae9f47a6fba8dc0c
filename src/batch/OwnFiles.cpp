#include "batch/OwnFiles.h"

#include <QDir>
#include <QFileInfo>

OwnFiles::OwnFiles(const BatchOptions &options)
{
    for (const QString &listFile : options.listFiles)
        add(listFile);
    for (const QString &file :
         {options.report, options.archive, options.cookiesFile, options.saveCookiesFile, options.passwordFile})
        add(file);
}

void OwnFiles::add(const QString &path)
{
    // "-" is standard input or output, no file.
    if (!path.isEmpty() && path != QLatin1String("-"))
        m_paths.insert(realPath(path));
}

bool OwnFiles::contains(const QString &path) const
{
    return !m_paths.isEmpty() && m_paths.contains(realPath(path));
}

QString OwnFiles::realPath(const QString &path)
{
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    if (info.isRoot())
        return info.filePath();
    return QDir(realPath(info.absolutePath())).filePath(info.fileName());
}
