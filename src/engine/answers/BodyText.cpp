#include "engine/answers/BodyText.h"

#include <QStringDecoder>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

QStringDecoder decoderFor(const QString &charset)
{
    return QStringDecoder(charset.toLatin1().constData());
}

// The lines with their trailing blanks dropped, no blank line at either end and
// at most one between others, as a page's text has them.
QString withBlankLinesCollapsed(const QString &text)
{
    QStringList lines;
    bool blank = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        qsizetype end = line.size();
        while (end > 0 && line.at(end - 1).isSpace())
            --end;
        if (end == 0) {
            blank = !lines.isEmpty();
            continue;
        }
        if (blank)
            lines.append(QString());
        blank = false;
        lines.append(line.left(end).toString());
    }
    return lines.isEmpty() ? QStringLiteral("") : lines.join(QLatin1Char('\n'));
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
    // The text of each run between tags; a run of only blanks that breaks a line
    // is layout, and text of two elements that no blank parts gets a line break.
    QString text;
    QString run;
    bool runIsLayout = true;
    bool elementEdge = false;
    const auto endRun = [&] {
        if (runIsLayout && run.contains(QLatin1Char('\n')))
            run = QStringLiteral("\n");
        if (!run.isEmpty()) {
            if (elementEdge && !text.isEmpty() && !text.back().isSpace() && !run.front().isSpace())
                text += QLatin1Char('\n');
            text += run;
            elementEdge = false;
        }
        run.clear();
        runIsLayout = true;
    };
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
        case QXmlStreamReader::EndElement:
            endRun();
            elementEdge = true;
            depth += reader.isStartElement() ? 1 : -1;
            break;
        case QXmlStreamReader::Characters:
            if (depth > 0) {
                run += reader.text();
                runIsLayout = runIsLayout && reader.isWhitespace() && !reader.isCDATA();
            }
            break;
        default: break;
        }
    }
    if (reader.hasError()) {
        *failure = QStringLiteral("the XML document is not well-formed (line %1: %2)")
                       .arg(reader.lineNumber())
                       .arg(reader.errorString());
        return {};
    }
    endRun();
    return withBlankLinesCollapsed(text);
}
