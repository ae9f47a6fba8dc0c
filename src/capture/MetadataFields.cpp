#include "capture/MetadataFields.h"

#include <QCryptographicHash>
#include <QJsonValue>

namespace {

QJsonValue orNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// TEXT as a YAML double-quoted scalar.
QString yamlQuoted(const QString &text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': quoted += QLatin1String("\\\""); break;
        case '\\': quoted += QLatin1String("\\\\"); break;
        case '\n': quoted += QLatin1String("\\n"); break;
        case '\t': quoted += QLatin1String("\\t"); break;
        case '\r': quoted += QLatin1String("\\r"); break;
        default:
            // Other control characters and the line breaks YAML would fold, escaped.
            if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.unicode() == 0x85 || c.unicode() == 0x2028
                || c.unicode() == 0x2029 || c.unicode() == 0xfeff)
                quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                quoted += c;
        }
    }
    return quoted + QLatin1Char('"');
}

} // namespace

QJsonObject MetadataFields::of(const PageOutcome &page)
{
    const PageMetadata &metadata = page.metadata;
    return {
        {QStringLiteral("title"), orNull(page.title)},
        {QStringLiteral("lang"), orNull(page.lang)},
        {QStringLiteral("author"), orNull(metadata.author)},
        {QStringLiteral("published"), orNull(metadata.published)},
        {QStringLiteral("modified"), orNull(metadata.modified)},
        {QStringLiteral("description"), orNull(metadata.description)},
        {QStringLiteral("site_name"), orNull(metadata.siteName)},
        {QStringLiteral("canonical"), orNull(metadata.canonical)},
        {QStringLiteral("word_count"), wordCount(page.content)},
        {QStringLiteral("text_sha256"),
         QString::fromLatin1(QCryptographicHash::hash(page.content.toUtf8(), QCryptographicHash::Sha256).toHex())},
    };
}

QJsonObject MetadataFields::none()
{
    QJsonObject fields = of({});
    for (auto field = fields.begin(); field != fields.end(); ++field)
        *field = QJsonValue();
    return fields;
}

qint64 MetadataFields::wordCount(const QString &text)
{
    qint64 words = 0;
    bool inWord = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            ++words;
        }
    }
    return words;
}

QString MetadataFields::frontMatter(const PageOutcome &page)
{
    // In the order a reader looks for them.
    static const char *const order[] = {"title",     "author",    "published", "modified",   "description",
                                        "site_name", "canonical", "lang",      "word_count", "text_sha256"};
    const QJsonObject fields = of(page);
    QString header = QStringLiteral("---\n");
    for (const char *name : order) {
        const QJsonValue value = fields.value(QLatin1String(name));
        if (value.isString())
            header += QLatin1String(name) + QLatin1String(": ") + yamlQuoted(value.toString()) + QLatin1Char('\n');
        else if (value.isDouble())
            header +=
                QLatin1String(name) + QLatin1String(": ") + QString::number(value.toInteger()) + QLatin1Char('\n');
    }
    return header + QLatin1String("---\n\n");
}
