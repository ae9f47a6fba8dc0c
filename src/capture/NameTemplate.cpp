#include "capture/NameTemplate.h"

#include "capture/OutputFile.h"
#include "engine/PageAddress.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QRegularExpression &fieldPattern()
{
    static const QRegularExpression pattern(QStringLiteral("\\{([a-z]*)\\}"));
    return pattern;
}

// Control characters, the marks that reorder text and what file systems refuse.
bool isUnsafe(QChar character)
{
    static const QString refused = QStringLiteral("\\*:?<>|");
    const char16_t code = character.unicode();
    return refused.contains(character) || character.category() == QChar::Other_Control || code == 0x061c
        || code == 0x200e || code == 0x200f || (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
}

QString safe(QString text, bool keepSlashes)
{
    for (QChar &character : text) {
        if (isUnsafe(character) || (!keepSlashes && character == QLatin1Char('/')))
            character = QLatin1Char('_');
    }
    return text;
}

// The longest start of the text within the bytes, surrogate pairs kept whole.
QString utf8Start(const QString &text, qsizetype budget)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const qsizetype pieceBytes = text.mid(i, length).toUtf8().size();
        if (bytes + pieceBytes > budget)
            break;
        bytes += pieceBytes;
        i += length;
    }
    return text.left(i);
}

// A folder's name within the limit: its start and a hash of the whole.
QString fittedFolder(const QString &part)
{
    if (part.toUtf8().size() <= OutputFileWriter::MaxFileNameBytes)
        return part;
    const QString tail = QLatin1Char('~')
        + QString::fromLatin1(QCryptographicHash::hash(part.toUtf8(), QCryptographicHash::Sha1).toHex().left(10));
    return utf8Start(part, OutputFileWriter::MaxFileNameBytes - tail.size()) + tail;
}

bool isDotPart(const QString &part)
{
    return part == QLatin1String(".") || part == QLatin1String("..");
}

} // namespace

const QStringList &NameTemplate::fields()
{
    static const QStringList names{QStringLiteral("host"),  QStringLiteral("port"), QStringLiteral("path"),
                                   QStringLiteral("query"), QStringLiteral("row"),  QStringLiteral("hash"),
                                   QStringLiteral("ext")};
    return names;
}

QString NameTemplate::problem(const QString &pattern)
{
    if (pattern.isEmpty())
        return QStringLiteral("wants a name template, such as {host}/{path}");
    QString rest = pattern;
    for (auto match = fieldPattern().globalMatch(pattern); match.hasNext();) {
        const QString name = match.next().captured(1);
        if (!fields().contains(name))
            return QStringLiteral("has an unknown field {%1}; the fields are {%2}")
                .arg(name, fields().join(QStringLiteral("}, {")));
    }
    rest.replace(fieldPattern(), QStringLiteral("x"));
    if (rest.contains(QLatin1Char('{')) || rest.contains(QLatin1Char('}')))
        return QStringLiteral("has a brace that is no field, in \"%1\"").arg(pattern);
    if (pattern.startsWith(QLatin1Char('/')) || pattern.startsWith(QLatin1Char('~')))
        return QStringLiteral("must name files inside the folder, not \"%1\"").arg(pattern);
    for (const QString &part : rest.split(QLatin1Char('/'))) {
        if (isDotPart(part))
            return QStringLiteral("must not hold a \".\" or \"..\" folder, as \"%1\" does").arg(pattern);
    }
    return {};
}

NameTemplate::NameTemplate(const QString &pattern, const QString &extension)
    : m_pattern(pattern), m_extension(extension.startsWith(QLatin1Char('.')) ? extension.mid(1) : extension)
{
    const QString ending = QLatin1Char('.') + m_extension;
    if (!m_pattern.isEmpty() && !m_pattern.contains(QStringLiteral("{ext}")) && !m_pattern.endsWith(ending))
        m_pattern += QStringLiteral(".{ext}");
}

bool NameTemplate::hasFields() const
{
    for (auto match = fieldPattern().globalMatch(m_pattern); match.hasNext();) {
        if (match.next().captured(1) != QLatin1String("ext"))
            return true;
    }
    return false;
}

QString NameTemplate::field(const QString &name, const QString &address, qint64 row) const
{
    if (name == QLatin1String("ext"))
        return m_extension;
    if (name == QLatin1String("row"))
        return QString::number(row);
    if (name == QLatin1String("hash"))
        return QString::fromLatin1(
            QCryptographicHash::hash(address.toUtf8(), QCryptographicHash::Sha256).toHex().left(10));
    const PageAddress page = PageAddress::fromRow(address);
    const QUrl url(page.kind == PageAddress::Load ? page.url : QString());
    if (name == QLatin1String("host"))
        return url.host();
    if (name == QLatin1String("port")) {
        const int defaultPort = url.scheme() == QLatin1String("https") ? 443
            : url.scheme() == QLatin1String("http")                    ? 80
                                                                       : -1;
        const int port = url.port(defaultPort);
        return port < 0 ? QString() : QString::number(port);
    }
    if (name == QLatin1String("query"))
        return url.query(QUrl::FullyDecoded);
    // The path without its leading slash; a folder's own page is its "index".
    QString path = url.path(QUrl::FullyDecoded);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        path += QStringLiteral("index");
    return path;
}

QString NameTemplate::expand(const QString &address, qint64 row, QString *failure) const
{
    QString name;
    qsizetype at = 0;
    for (auto match = fieldPattern().globalMatch(m_pattern); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        name += m_pattern.mid(at, found.capturedStart() - at);
        const QString fieldName = found.captured(1);
        const QString value = safe(field(fieldName, address, row), fieldName == QLatin1String("path"));
        name += m_restricted ? RestrictedFileName(value) : value;
        at = found.capturedEnd();
    }
    name += m_pattern.mid(at);
    name = safe(name, true);
    QStringList parts;
    for (const QString &part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (isDotPart(part)) {
            *failure = QStringLiteral("the name template gives a \"%1\" folder").arg(part);
            return {};
        }
        parts << part;
    }
    if (parts.isEmpty()) {
        *failure = QStringLiteral("the name template gives an empty name");
        return {};
    }
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        parts[i] = fittedFolder(parts.at(i));
    // The file's own name is fitted, and numbered, as the plain names are.
    return parts.join(QLatin1Char('/'));
}
