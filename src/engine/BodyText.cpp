#include "engine/BodyText.h"

#include <QStringDecoder>
#include <QXmlStreamReader>

namespace {

QStringDecoder decoderFor(const QString &charset)
{
    return QStringDecoder(charset.toLatin1().constData());
}

} // namespace

QString BodyText::plain(const QByteArray &body, const QString &charset)
{
    QStringDecoder decoder = decoderFor(charset);
    if (charset.isEmpty() || !decoder.isValid())
        decoder = QStringDecoder(QStringConverter::encodingForData(body).value_or(QStringConverter::Utf8));
    return decoder.decode(body);
}

QString BodyText::xml(const QByteArray &body, const QString &charset, QString *failure)
{
    QXmlStreamReader reader;
    // A charset sent with the document outweighs its own declaration.
    QStringDecoder decoder = decoderFor(charset);
    if (!charset.isEmpty() && decoder.isValid())
        reader.addData(QString(decoder.decode(body)));
    else
        reader.addData(body);
    QString text;
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
            if (depth > 0)
                text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        *failure = QStringLiteral("the XML document is not well-formed (line %1: %2)")
                       .arg(reader.lineNumber())
                       .arg(reader.errorString());
        return {};
    }
    return text.isNull() ? QStringLiteral("") : text;
}
