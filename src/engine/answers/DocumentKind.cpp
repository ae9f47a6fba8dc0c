#include "engine/answers/DocumentKind.h"

#include <QMimeDatabase>

namespace {

// The shared MIME database's icons name the families that are no page, whatever
// a type's alias: archives (zip, gzip, tar, 7z, rar, bzip2, xz …), fonts and media.
bool binaryFamily(const QString &mimeType)
{
    static const QStringList families{
        QStringLiteral("package-x-generic"), QStringLiteral("font-x-generic"),  QStringLiteral("image-x-generic"),
        QStringLiteral("audio-x-generic"),   QStringLiteral("video-x-generic"),
    };
    const QMimeType known = QMimeDatabase().mimeTypeForName(mimeType);
    return known.isValid() && families.contains(known.genericIconName());
}

DocumentKind::Kind kindOf(const QString &type)
{
    const QString media = type.section(QLatin1Char('/'), 0, 0);
    const QString subtype = type.section(QLatin1Char('/'), 1);
    if (type == QLatin1String("application/pdf"))
        return DocumentKind::Pdf;
    if (type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml"))
        return DocumentKind::Page;
    if (media == QLatin1String("image") || media == QLatin1String("audio") || media == QLatin1String("video")
        || media == QLatin1String("font"))
        return DocumentKind::NotAPage;
    if (subtype == QLatin1String("xml") || subtype.endsWith(QLatin1String("+xml")))
        return DocumentKind::Xml;
    if (media == QLatin1String("text") || type == QLatin1String("application/json")
        || subtype.endsWith(QLatin1String("+json")))
        return DocumentKind::PlainText;
    if (type == QLatin1String("application/octet-stream") || binaryFamily(type))
        return DocumentKind::NotAPage;
    return DocumentKind::Page;
}

} // namespace

DocumentKind DocumentKind::fromContentType(const QString &contentType)
{
    DocumentKind document;
    const QStringList parts = contentType.split(QLatin1Char(';'));
    document.mimeType = parts.first().trimmed().toLower();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString name = parts.at(i).section(QLatin1Char('='), 0, 0).trimmed();
        if (name.compare(QLatin1String("charset"), Qt::CaseInsensitive) == 0)
            document.charset = parts.at(i).section(QLatin1Char('='), 1).trimmed().remove(QLatin1Char('"'));
    }
    if (!document.mimeType.isEmpty())
        document.kind = kindOf(document.mimeType);
    return document;
}

DocumentKind DocumentKind::fromFileName(const QString &path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.isDefault() ? DocumentKind() : fromContentType(type.name());
}
