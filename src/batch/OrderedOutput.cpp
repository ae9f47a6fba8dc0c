#include "batch/OrderedOutput.h"

#include <QIODevice>

bool OrderedOutput::finished(qint64 row, const QString &address, const std::optional<QByteArray> &text)
{
    if (row != m_next) {
        m_held.insert(row, {address, text});
        return true;
    }
    bool ok = write({address, text});
    ++m_next;
    for (auto it = m_held.begin(); it != m_held.end() && it.key() == m_next; it = m_held.erase(it)) {
        ok = write(it.value()) && ok;
        ++m_next;
    }
    return ok;
}

bool OrderedOutput::flush()
{
    bool ok = true;
    for (auto it = m_held.begin(); it != m_held.end(); it = m_held.erase(it))
        ok = write(it.value()) && ok;
    return ok;
}

bool OrderedOutput::write(const Held &row)
{
    if (!row.text || !m_error.isEmpty())
        return m_error.isEmpty();
    QByteArray bytes;
    if (m_heads) {
        bytes = (m_written ? "\n==> " : "==> ") + row.address.toUtf8() + " <==\n" + *row.text;
        if (!bytes.endsWith('\n'))
            bytes += '\n';
    } else {
        // A text on a terminal or in a pipe ends its line; files hold the page's text as it is.
        bytes = *row.text;
        if (!bytes.isEmpty() && !bytes.endsWith('\n'))
            bytes += '\n';
    }
    m_written = true;
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = m_device.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            m_error = m_device.errorString();
            return false;
        }
        done += written;
    }
    return true;
}
