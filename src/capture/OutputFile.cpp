#include "capture/OutputFile.h"

#include "support/RuntimeError.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString TextSuffix = QStringLiteral(".txt");

RuntimeError fileError(const QString &what, const QString &path, const QString &reason)
{
    return RuntimeError(QStringLiteral("%1: %2 (%3)").arg(what, path, reason),
                        RuntimeError::PathFileAccess);
}

} // namespace

QString MakeOutputFileName(const QString &url)
{
    QString name = url;
    name.remove(QStringLiteral("http://"));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name += TextSuffix;
    for (const QChar unsafe : {u'\\', u'*', u':', u'?', u'<', u'>', u'|'})
        name.replace(unsafe, QLatin1Char(' '));
    return name;
}

QString FitOutputFileName(const QString &fileName)
{
    if (fileName.toUtf8().size() <= OutputFileWriter::MaxFileNameBytes)
        return fileName;
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha1).toHex().left(10));
    const QString tail = QLatin1Char('~') + hash + TextSuffix;
    const int budget = OutputFileWriter::MaxFileNameBytes - int(tail.toUtf8().size());
    QString start;
    int bytes = 0;
    for (int i = 0; i < fileName.size(); ++i) {
        // Keep surrogate pairs together.
        const int length = fileName.at(i).isHighSurrogate() && i + 1 < fileName.size() ? 2 : 1;
        const QString piece = fileName.mid(i, length);
        const int pieceBytes = int(piece.toUtf8().size());
        if (bytes + pieceBytes > budget)
            break;
        start += piece;
        bytes += pieceBytes;
        i += length - 1;
    }
    return start + tail;
}

QString MakeOutputPath(const QString &folder, const QString &fileName)
{
    return folder + QLatin1Char('/') + fileName;
}

OutputFileWriter::OutputFileWriter() = default;

OutputFileWriter::~OutputFileWriter()
{
    if (m_file && m_file->isOpen())
        m_file->cancelWriting();
}

void OutputFileWriter::open(const QString &path)
{
    m_file.reset();
    m_failed = false;
    const QFileInfo existing(path);
    // A file without its owner's write bit is read-only, also for the superuser.
    const bool readOnly = !existing.isWritable()
        || !(existing.permissions() & QFileDevice::WriteOwner);
    if (existing.exists() && (!existing.isFile() || readOnly))
        throw fileError(QStringLiteral("Permission denied"), path,
                        existing.isFile() ? QStringLiteral("the file is read-only")
                                          : QStringLiteral("not a file"));
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly))
        throw fileError(QStringLiteral("Cannot create file"), path, file->errorString());
    m_file = std::move(file);
}

void OutputFileWriter::write(const QString &pageText)
{
    if (!m_file || !m_file->isOpen())
        throw RuntimeError(QStringLiteral("Bad file name or number"), 52);
    const QByteArray bytes = pageText.toUtf8();
    if (m_file->write(bytes) != bytes.size()) {
        m_failed = true;
        throw fileError(QStringLiteral("Cannot write file"), m_file->fileName(),
                        m_file->errorString());
    }
}

void OutputFileWriter::close()
{
    if (!m_file || !m_file->isOpen())
        return;
    std::unique_ptr<QSaveFile> file = std::move(m_file);
    if (m_failed) {
        file->cancelWriting(); // nothing partial replaces the earlier file
        file->commit();
        return;
    }
    if (!file->commit())
        throw fileError(QStringLiteral("Cannot save file"), file->fileName(), file->errorString());
}
