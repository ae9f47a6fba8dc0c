#pragma once

#include <QByteArray>
#include <QString>

// The contents of gzip data, inflated by the system's gzip (gzip -dc) in a
// child process with limits on its time and on the bytes it may give, so that
// a hostile archive costs no more than the limit.
class GzipInflate
{
public:
    static bool isGzip(const QByteArray &data) { return data.startsWith("\x1f\x8b"); }

    // The inflated bytes; false with the reason when the data is no valid gzip,
    // inflates past `limit` bytes or takes longer than `timeMs`.
    static bool inflate(const QByteArray &data, qint64 limit, int timeMs, QByteArray *out, QString *error);
};
