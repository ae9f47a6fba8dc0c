#include "platform/CursorFile.h"

#include "support/RuntimeError.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace {

// Hot spot of the first image: the directory entry's planes and bit-count fields.
QPoint hotSpot(const QByteArray &bytes)
{
    if (bytes.size() < 22 || qFromLittleEndian<quint16>(bytes.constData() + 2) != 2)
        return {0, 0};
    return {qFromLittleEndian<quint16>(bytes.constData() + 10), qFromLittleEndian<quint16>(bytes.constData() + 12)};
}

} // namespace

QCursor CursorFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(QStringLiteral("File not found: %1").arg(path), RuntimeError::FileNotFound);
    QByteArray bytes = file.readAll();
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        throw RuntimeError(QStringLiteral("Invalid picture: %1").arg(path), 481);
    const QPoint spot = hotSpot(bytes);
    return QCursor(QPixmap::fromImage(image), spot.x(), spot.y());
}
