#pragma once

#include "engine/PageAddress.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// Reads the rows of a list file from a device, one chunk at a time. Lines are
// split as SplitListLines splits them (CR LF, a lone CR and a lone LF each end
// one), except that the empty text after a final line end is no row. At most
// one line and one chunk are held: of a line over the engine's address limit
// only the start is kept, and the rest is read past up to the next line end.
// A line whose first character that is not blank is '#' or ';' is a comment.
class ListReader
{
public:
    enum class Kind { Address, Blank, Comment, TooLong };

    // The engine's own limit on an address, in bytes of the list.
    static constexpr qsizetype MaxLineBytes = PageAddress::MaxLength;
    static constexpr qsizetype DefaultChunkBytes = 64 * 1024;

    explicit ListReader(QIODevice &device, qsizetype chunkBytes = DefaultChunkBytes);

    // Runs after every read of the device; returning false ends the input there.
    void setAfterRead(std::function<bool()> afterRead) { m_afterRead = std::move(afterRead); }

    // Reads the next row; false at the end of the input, which is the first read
    // that gives nothing (a file, or a pipe that blocks until it has data).
    bool next();
    Kind kind() const { return m_kind; }
    // The row's text (UTF-8); of a row too long, the text of its start.
    QString text() const;
    // Why the device could not be read to its end, or empty.
    QString errorString() const { return m_error; }

private:
    bool fill();
    void append(const char *bytes, qsizetype size);
    bool blank() const;
    bool comment() const;

    QIODevice &m_device;
    QByteArray m_chunk;
    qsizetype m_filled = 0;
    qsizetype m_position = 0;
    bool m_ended = false;
    bool m_afterCarriageReturn = false;
    QByteArray m_line;
    bool m_tooLong = false;
    Kind m_kind = Kind::Blank;
    QString m_error;
    std::function<bool()> m_afterRead;
};
