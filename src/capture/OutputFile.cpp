#include "capture/OutputFile.h"

#include "engine/PageAddress.h"
#include "support/RuntimeError.h"
#include "urllist/RowDisplayText.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

const QString TextSuffix = QStringLiteral(".txt");

// The output extension the name ends in; ".txt" when none.
QString extensionOf(const QString &fileName)
{
    for (const QString &extension :
         {QStringLiteral(".txt"), QStringLiteral(".md"), QStringLiteral(".html"), QStringLiteral(".json")}) {
        if (fileName.endsWith(extension))
            return extension;
    }
    return TextSuffix;
}

RuntimeError fileError(const QString &what, const QString &path, const QString &reason)
{
    return RuntimeError(QStringLiteral("%1: %2 (%3)").arg(what, path, reason), RuntimeError::PathFileAccess);
}

// The longest start of the text within the bytes, surrogate pairs kept whole.
QString utf8Start(const QString &text, int budget)
{
    QString start;
    int bytes = 0;
    for (int i = 0; i < text.size(); ++i) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString piece = text.mid(i, length);
        const int pieceBytes = int(piece.toUtf8().size());
        if (bytes + pieceBytes > budget)
            break;
        start += piece;
        bytes += pieceBytes;
        i += length - 1;
    }
    return start;
}

// The start of `start`, a short hash of the whole name and the ending, within the limit.
QString shortenedName(const QString &fileName, const QString &start, const QString &ending)
{
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha1).toHex().left(10));
    const QString tail = QLatin1Char('~') + hash + ending;
    return utf8Start(start, OutputFileWriter::MaxFileNameBytes - int(tail.toUtf8().size())) + tail;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A new file in the target's folder under a short unique name: a long target
// name leaves no room for a suffix. Returns the descriptor, or -1 with errno set.
int createTemporaryFile(const QByteArray &target, QByteArray &temporaryPath)
{
    const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + ".textorin-" + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int descriptor = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

} // namespace

QString MakeOutputFileName(const QString &url, const QString &extension)
{
    QString name = PageAddress::withoutUserInfo(url);
    if (name.startsWith(QChar(0xfeff))) // a byte-order mark, not part of the address
        name.remove(0, 1);
    name.remove(QStringLiteral("http://"));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name += extension;
    for (const QChar unsafe : {u'\\', u'*', u':', u'?', u'<', u'>', u'|'})
        name.replace(unsafe, QLatin1Char(' '));
    for (QChar &character : name) {
        if (RowDisplayText::isDisguising(character))
            character = QLatin1Char(' ');
    }
    return name;
}

QString RestrictedFileName(const QString &name)
{
    static const QString special = QStringLiteral("!\"#$&'()*;<>?[\\]`{|}~");
    QString restricted;
    for (const QChar character : name.normalized(QString::NormalizationForm_KD)) {
        if (character.category() == QChar::Mark_NonSpacing)
            continue; // the accent of a decomposed letter
        const bool plain = character.unicode() > 0x20 && character.unicode() < 0x7f && !special.contains(character);
        const QChar kept = plain ? character : QLatin1Char('_');
        if (kept != QLatin1Char('_') || !restricted.endsWith(kept))
            restricted += kept;
    }
    return restricted;
}

QString FitOutputFileName(const QString &fileName)
{
    if (fileName.toUtf8().size() <= OutputFileWriter::MaxFileNameBytes)
        return fileName;
    return shortenedName(fileName, fileName, extensionOf(fileName));
}

QString NumberedOutputFileName(const QString &fileName, int number)
{
    // A name in a subfolder is numbered and fitted in its last part only.
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        return fileName.left(slash + 1) + NumberedOutputFileName(fileName.mid(slash + 1), number);
    if (number < 2)
        return FitOutputFileName(fileName);
    const QString extension = extensionOf(fileName);
    const bool known = fileName.endsWith(extension);
    const QString stem = known ? fileName.chopped(extension.size()) : fileName;
    const QString ending = QStringLiteral(" (%1)").arg(number) + (known ? extension : QString());
    const QString numbered = stem + ending;
    if (numbered.toUtf8().size() <= OutputFileWriter::MaxFileNameBytes)
        return numbered;
    return shortenedName(fileName, stem, ending);
}

QString MakeOutputPath(const QString &folder, const QString &fileName)
{
    return folder + QLatin1Char('/') + fileName;
}

OutputFileWriter::OutputFileWriter() = default;

OutputFileWriter::~OutputFileWriter()
{
    discard();
}

void OutputFileWriter::fail(const RuntimeError &error)
{
    m_openError = error;
    throw error;
}

void OutputFileWriter::open(const QString &path)
{
    discard();
    m_failed = false;
    m_openError.reset();
    const QFileInfo existing(path);
    if (existing.isSymLink())
        fail(RuntimeError(QStringLiteral("Permission denied: %1 is a symbolic link").arg(path),
                          RuntimeError::PathFileAccess));
    // A file without its owner's write bit is read-only, also for the superuser.
    const bool readOnly = !existing.isWritable() || !(existing.permissions() & QFileDevice::WriteOwner);
    if (existing.exists() && (!existing.isFile() || readOnly))
        fail(fileError(QStringLiteral("Permission denied"), path,
                       existing.isFile() ? QStringLiteral("the file is read-only") : QStringLiteral("not a file")));
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporaryPath;
    const int descriptor = createTemporaryFile(target, temporaryPath);
    if (descriptor < 0)
        fail(fileError(QStringLiteral("Cannot create file"), path, systemReason(errno)));
    // A replaced file keeps its permissions; a new one gets 0666 less the umask.
    struct stat status;
    if (::stat(target.constData(), &status) == 0)
        ::fchmod(descriptor, status.st_mode & 0777);
    m_path = path;
    m_temporaryPath = temporaryPath;
    m_descriptor = descriptor;
}

void OutputFileWriter::write(const QString &pageText)
{
    if (m_openError)
        throw *m_openError;
    if (m_descriptor < 0)
        throw RuntimeError(QStringLiteral("Bad file name or number"), 52);
    const QByteArray bytes = pageText.toUtf8();
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_descriptor, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            m_failed = true;
            throw fileError(QStringLiteral("Cannot write file"), m_path, systemReason(errno));
        }
        data += written;
        left -= written;
    }
}

void OutputFileWriter::close()
{
    if (m_descriptor < 0)
        return;
    if (m_failed) {
        discard(); // nothing partial replaces the earlier file
        return;
    }
    const int descriptor = std::exchange(m_descriptor, -1);
    const QByteArray temporaryPath = std::exchange(m_temporaryPath, {});
    int error = ::fsync(descriptor) == 0 ? 0 : errno;
    if (::close(descriptor) != 0 && error == 0 && errno != EINTR)
        error = errno;
    // rename() replaces a link that took the final name meanwhile, not its target.
    if (error == 0 && ::rename(temporaryPath.constData(), QFile::encodeName(m_path).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporaryPath.constData());
        throw fileError(QStringLiteral("Cannot save file"), m_path, systemReason(error));
    }
}

void OutputFileWriter::discard()
{
    if (m_descriptor < 0)
        return;
    ::close(std::exchange(m_descriptor, -1));
    ::unlink(std::exchange(m_temporaryPath, {}).constData());
}
