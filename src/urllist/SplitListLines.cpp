#include "urllist/SplitListLines.h"

#include <QStringDecoder>

QString DecodeListRow(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

void SplitListLines(const QByteArray &bytes, const std::function<void()> &beforeLine,
                    const std::function<void(const QString &row)> &row)
{
    const char *const data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype position = 0;
    while (position < size) {
        if (beforeLine)
            beforeLine();
        // A line read ends at a carriage return (with a line feed after it, if
        // any); lone line feeds inside it split it further. One pass over the
        // bytes, whatever the line ends.
        qsizetype start = position;
        for (;;) {
            qsizetype end = start;
            while (end < size && data[end] != '\r' && data[end] != '\n')
                ++end;
            if (end < size && data[end] == '\n') {
                if (beforeLine)
                    beforeLine();
                row(DecodeListRow(QByteArrayView(data + start, end - start)));
                start = end + 1;
                continue;
            }
            row(DecodeListRow(QByteArrayView(data + start, end - start)));
            position = end < size ? end + 1 : size;
            if (position < size && data[position] == '\n')
                ++position;
            break;
        }
    }
}

QStringList SplitListLines(const QByteArray &bytes)
{
    QStringList rows;
    SplitListLines(bytes, {}, [&rows](const QString &text) { rows.append(text); });
    return rows;
}
