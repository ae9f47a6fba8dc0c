#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

class QIODevice;

// Writes the texts of rows that finish in any order to one stream in list
// order: a finished row is held only while an earlier row is still loading.
// With heads, each text is preceded by a "==> ADDRESS <==" line, and every
// text after the first by a blank line, as head(1) and tail(1) show files.
class OrderedOutput
{
public:
    // Rows are numbered from 1, each number once.
    explicit OrderedOutput(QIODevice &device) : m_device(device) {}

    void setHeads(bool on) { m_heads = on; }

    // The row ended: with its text, or without one (it failed or was skipped).
    // Writes what no earlier row holds back any more; false on a failed write.
    bool finished(qint64 row, const QString &address, const std::optional<QByteArray> &text);
    // Writes what is still held, in order, past rows that never ended.
    bool flush();
    // The reason of the first failed write, or empty.
    QString errorString() const { return m_error; }
    // The rows ended but not yet written.
    qsizetype held() const { return m_held.size(); }

private:
    struct Held {
        QString address;
        std::optional<QByteArray> text;
    };
    bool write(const Held &row);

    QIODevice &m_device;
    bool m_heads = false;
    bool m_written = false;
    qint64 m_next = 1;
    QMap<qint64, Held> m_held;
    QString m_error;
};
