#include "urllist/SplitListLines.h"

#include <QStringDecoder>

namespace {

// UTF-8 that keeps a byte-order mark as a character of the row.
QString decodeRow(const char *bytes, qsizetype size)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(bytes, size));
}

} // namespace

void SplitListLines(const QByteArray &bytes, const std::function<void()> &beforeLine,
                    const std::function<void(const QString &row)> &row)
{
    const qsizetype size = bytes.size();
    qsizetype position = 0;
    while (position < size) {
        if (beforeLine)
            beforeLine();
        // A line read ends at a carriage return (with a line feed after it, if any).
        qsizetype end = bytes.indexOf('\r', position);
        qsizetype next = end + 1;
        if (end < 0) {
            end = size;
            next = size;
        } else if (next < size && bytes.at(next) == '\n') {
            ++next;
        }
        // Lone line feeds inside that line split it further.
        qsizetype start = position;
        for (qsizetype feed = bytes.indexOf('\n', start); feed >= 0 && feed < end;
             feed = bytes.indexOf('\n', start)) {
            if (beforeLine)
                beforeLine();
            row(decodeRow(bytes.constData() + start, feed - start));
            start = feed + 1;
        }
        row(decodeRow(bytes.constData() + start, end - start));
        position = next;
    }
}

QStringList SplitListLines(const QByteArray &bytes)
{
    QStringList rows;
    SplitListLines(bytes, {}, [&rows](const QString &text) { rows.append(text); });
    return rows;
}
