#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// The addresses of one run's rows, so that a row whose address an earlier row
// saved is skipped rather than loaded and written again. Addresses are compared
// as the page loads them: trimmed, taken as typed into an address bar, an http(s)
// one normalised (case of scheme and host, default port, empty path); queries
// and fragments stay as they are. Kept as 128-bit digests.
class RunAddresses
{
public:
    // The address as rows are told apart by.
    static QString keyOf(const QString &row);

    void clear()
    {
        m_entries.clear();
        m_open.clear();
    }
    // How the reason numbers a row (the queue's number by default).
    void setShownRow(std::function<qint64(qint64 number)> shown) { m_shownRow = std::move(shown); }

    // A row was read; rows are added in their order and named by their number after.
    void add(qint64 number, const QString &row);
    // Whether an earlier row of the same address has not ended yet.
    bool waits(qint64 number) const;
    // "same address as row N" when an earlier row saved the address; else empty.
    QString skipReason(qint64 number) const;
    void ended(qint64 number, bool saved);

private:
    struct Entry {
        qint64 savedBy = 0;
        QList<qint64> open; // rows read and not ended, in order
    };
    static QByteArray digest(const QString &row);

    QHash<QByteArray, Entry> m_entries;
    QHash<qint64, QByteArray> m_open; // each open row's address
    std::function<qint64(qint64)> m_shownRow;
};
