#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class ListReader;
class QFile;
class QIODevice;
class QTextStream;
class QThread;

// The rows of a batch: the addresses given first, then those of its list files
// in order, read as they are needed; blank rows are counted and left out, and
// the comment lines of list files are no rows. Regular files are counted ahead
// in a thread of their own; standard input, pipes and devices count as they are read.
class ListRows
{
public:
    struct Row {
        QString text;
        bool tooLong = false; // over the engine's limit: `text` is only its start
    };

    // Each of `addresses` is one row. Reads "-" from `standardInput`, an empty
    // list when there is none. Read errors are reported to `err`.
    ListRows(const QStringList &addresses, const QStringList &listFiles, QIODevice *standardInput, QTextStream &err);
    ~ListRows();

    // Why the list file cannot be read, or empty; "-" always can.
    static QString problem(const QString &listFile);

    // Runs after every read of a list (to let events in during a long line).
    void setAfterRead(std::function<void()> afterRead) { m_afterRead = std::move(afterRead); }
    // The next row that is not blank; false after the last one.
    bool next(Row &row);

    qint64 skipped() const { return m_skipped; }
    // The number of rows that are not blank, or -1 while it is not yet known.
    qint64 total() const;
    bool readFailed() const { return m_readFailed; }

private:
    bool openNext();
    void count(const QStringList &regularFiles);

    QStringList m_addresses;
    qsizetype m_nextAddress = 0;
    qint64 m_addressRows = 0;
    QStringList m_listFiles;
    QIODevice *m_stdin;
    QTextStream &m_err;
    std::function<void()> m_afterRead;
    int m_index = -1;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<ListReader> m_reader;
    bool m_readingStream = false;
    int m_streamsLeft = 0;
    qint64 m_rows = 0;
    qint64 m_streamRows = 0;
    qint64 m_skipped = 0;
    bool m_allRead = false;
    bool m_readFailed = false;

    std::unique_ptr<QThread> m_counter;
    std::atomic<bool> m_stopCounting{false};
    std::atomic<bool> m_counted{false};
    std::atomic<qint64> m_regularRows{0};
};
