#include "urllist/RowDisplayText.h"

#include <QStringList>

#include <algorithm>

namespace {

const QChar FirstStrongIsolate(0x2068);
const QChar PopDirectionalIsolate(0x2069);

// Where a long line may break: after a separator of an address or a path, else anywhere.
qsizetype breakAt(const QString &line, qsizetype from, int width)
{
    const qsizetype end = from + width;
    for (qsizetype at = end; at > from + width / 2; --at) {
        const QChar before = line.at(at - 1);
        if (before == u' ' || before == u'/' || before == u'?' || before == u'&' || before == u'=')
            return at;
    }
    return end;
}

QStringList wrapped(const QString &line, int width)
{
    QStringList pieces;
    qsizetype from = 0;
    while (line.size() - from > width) {
        const qsizetype at = breakAt(line, from, width);
        pieces << line.mid(from, at - from);
        from = at;
    }
    pieces << line.mid(from);
    return pieces;
}

} // namespace

bool RowDisplayText::isDisguising(QChar character)
{
    const char16_t code = character.unicode();
    return character.category() == QChar::Other_Control || code == 0x061c || code == 0x200e || code == 0x200f
        || (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069);
}

QString RowDisplayText::visible(const QString &text)
{
    const auto first = std::find_if(text.begin(), text.end(), isDisguising);
    if (first == text.end())
        return text;
    QString shown = text.left(first - text.begin());
    for (auto at = first; at != text.end(); ++at) {
        if (isDisguising(*at))
            shown += QStringLiteral("[U+%1]").arg(int(at->unicode()), 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += *at;
    }
    return shown;
}

QString RowDisplayText::isolated(const QString &text)
{
    return FirstStrongIsolate + visible(text) + PopDirectionalIsolate;
}

QString RowDisplayText::failureLine(qint64 row, const QString &address, const QString &reason)
{
    return QStringLiteral("row %1: ").arg(row) + isolated(address) + QStringLiteral(": ") + isolated(reason);
}

QString RowDisplayText::toolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        for (const QString &piece : wrapped(visible(line), WrapColumn))
            lines << piece.toHtmlEscaped();
    }
    return QStringLiteral("<p style=\"white-space:pre\">") + lines.join(QStringLiteral("<br>"))
        + QStringLiteral("</p>");
}
