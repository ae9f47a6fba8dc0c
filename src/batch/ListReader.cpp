#include "batch/ListReader.h"

#include "urllist/SplitListLines.h"

#include <QIODevice>

#include <cstring>

namespace {

// Bytes kept of a line too long: enough for the start that messages show.
constexpr qsizetype TooLongStartBytes = 1024;

} // namespace

ListReader::ListReader(QIODevice &device, qsizetype chunkBytes)
    : m_device(device), m_chunk(qMax<qsizetype>(chunkBytes, 1), Qt::Uninitialized)
{}

QString ListReader::text() const
{
    return DecodeListRow(m_line);
}

bool ListReader::fill()
{
    if (m_ended)
        return false;
    const qint64 read = m_device.read(m_chunk.data(), m_chunk.size());
    const bool goOn = !m_afterRead || m_afterRead();
    if (read < 0)
        m_error = m_device.errorString();
    if (read <= 0 || !goOn) {
        m_ended = true;
        return false;
    }
    m_filled = qsizetype(read);
    m_position = 0;
    return true;
}

void ListReader::append(const char *bytes, qsizetype size)
{
    if (m_tooLong)
        return;
    // One byte over the limit tells the line is too long.
    m_line.append(bytes, qMin(size, MaxLineBytes + 1 - m_line.size()));
    if (m_line.size() > MaxLineBytes) {
        m_tooLong = true;
        m_line.truncate(TooLongStartBytes);
    }
}

bool ListReader::blank() const
{
    // Only whitespace is blank, as QString::trimmed sees it; bytes past ASCII are decoded.
    bool wide = false;
    for (const char byte : m_line) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x80)
            wide = true;
        else if (value != ' ' && (value < '\t' || value > '\r'))
            return false;
    }
    return !wide || text().trimmed().isEmpty();
}

bool ListReader::comment() const
{
    for (const char byte : m_line) {
        const auto value = static_cast<unsigned char>(byte);
        if (value == '#' || value == ';')
            return true;
        if (value >= 0x80) {
            // Blanks past ASCII are decoded; a line too long keeps only its start.
            const QString start = text().trimmed();
            return start.startsWith(QLatin1Char('#')) || start.startsWith(QLatin1Char(';'));
        }
        if (value != ' ' && (value < '\t' || value > '\r'))
            return false;
    }
    return false;
}

bool ListReader::next()
{
    m_line.truncate(0);
    m_tooLong = false;
    bool started = false;
    for (;;) {
        if (m_position == m_filled && !fill()) {
            if (!started)
                return false;
            break;
        }
        if (m_afterCarriageReturn) {
            m_afterCarriageReturn = false;
            if (m_chunk.at(m_position) == '\n') {
                ++m_position;
                continue;
            }
        }
        started = true;
        const char *begin = m_chunk.constData() + m_position;
        const qsizetype left = m_filled - m_position;
        const auto *feed = static_cast<const char *>(std::memchr(begin, '\n', size_t(left)));
        const auto *ret = static_cast<const char *>(std::memchr(begin, '\r', size_t(feed ? feed - begin : left)));
        const char *end = ret ? ret : feed;
        if (end) {
            append(begin, end - begin);
            m_afterCarriageReturn = *end == '\r';
            m_position += end - begin + 1;
            break;
        }
        append(begin, left);
        m_position = m_filled;
    }
    m_kind = comment() ? Kind::Comment : m_tooLong ? Kind::TooLong : blank() ? Kind::Blank : Kind::Address;
    return true;
}
