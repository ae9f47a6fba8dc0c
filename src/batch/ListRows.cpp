#include "batch/ListRows.h"

#include "batch/ListReader.h"
#include "support/PathHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

namespace {

const QString StandardInputName = QStringLiteral("-");

bool isRegularFile(const QString &listFile)
{
    return listFile != StandardInputName && QFileInfo(listFile).isFile();
}

} // namespace

ListRows::ListRows(const QStringList &addresses, const QStringList &listFiles, QIODevice *standardInput,
                   QTextStream &err)
    : m_addresses(addresses), m_listFiles(listFiles), m_stdin(standardInput), m_err(err)
{
    for (const QString &address : addresses)
        m_addressRows += !address.trimmed().isEmpty();
    QStringList regularFiles;
    for (const QString &listFile : listFiles) {
        if (isRegularFile(listFile))
            regularFiles.append(listFile);
        else
            ++m_streamsLeft;
    }
    // Short lists are counted at once, so that the progress line has their total from the start.
    constexpr qint64 CountedAtOnceBytes = 1024 * 1024;
    qint64 bytes = 0;
    for (const QString &file : std::as_const(regularFiles))
        bytes += QFileInfo(file).size();
    if (bytes <= CountedAtOnceBytes) {
        count(regularFiles);
        m_counted = true;
        return;
    }
    m_counter.reset(QThread::create([this, regularFiles] { count(regularFiles); }));
    m_counter->start(QThread::LowPriority);
}

ListRows::~ListRows()
{
    if (m_counter) {
        m_stopCounting = true;
        m_counter->wait();
    }
}

QString ListRows::problem(const QString &listFile)
{
    if (listFile == StandardInputName)
        return {};
    if (IsFolder(listFile))
        return QStringLiteral("%1 is a folder").arg(listFile);
    if (!FileExists(listFile) || !QFileInfo(listFile).isReadable())
        return QStringLiteral("File not found: %1 (not a file, and not an address: to save one address give it "
                              "with its scheme or -u)")
            .arg(listFile);
    return {};
}

void ListRows::count(const QStringList &regularFiles)
{
    constexpr qsizetype CountChunkBytes = 1024 * 1024;
    qint64 rows = 0;
    for (const QString &path : regularFiles) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            continue;
        ListReader reader(file, CountChunkBytes);
        reader.setAfterRead([this] { return !m_stopCounting; });
        while (reader.next())
            rows += reader.kind() == ListReader::Kind::Address || reader.kind() == ListReader::Kind::TooLong;
    }
    m_regularRows = rows;
    m_counted = true;
}

qint64 ListRows::total() const
{
    if (m_allRead)
        return m_rows;
    if (m_streamsLeft == 0 && m_counted)
        return m_addressRows + m_regularRows + m_streamRows;
    return -1;
}

bool ListRows::openNext()
{
    m_reader.reset();
    m_file.reset();
    if (++m_index >= m_listFiles.size()) {
        m_allRead = true;
        return false;
    }
    const QString &listFile = m_listFiles.at(m_index);
    m_readingStream = !isRegularFile(listFile);
    QIODevice *device = m_stdin;
    if (listFile != StandardInputName) {
        m_file = std::make_unique<QFile>(listFile);
        if (!m_file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            m_err << "textorin-batch: cannot read " << listFile << ": " << m_file->errorString() << Qt::endl;
            m_readFailed = true;
            device = nullptr;
        } else {
            device = m_file.get();
        }
    }
    if (device) {
        m_reader = std::make_unique<ListReader>(*device);
        m_reader->setAfterRead([this] {
            if (m_afterRead)
                m_afterRead();
            return true;
        });
    }
    return true;
}

bool ListRows::next(Row &row)
{
    while (m_nextAddress < m_addresses.size()) {
        const QString &address = m_addresses.at(m_nextAddress++);
        if (address.trimmed().isEmpty()) {
            ++m_skipped;
            continue;
        }
        ++m_rows;
        row.text = address;
        row.tooLong = address.toUtf8().size() > ListReader::MaxLineBytes;
        return true;
    }
    while (!m_allRead) {
        if (!m_reader || !m_reader->next()) {
            if (m_reader && !m_reader->errorString().isEmpty()) {
                m_err << "textorin-batch: cannot read " << m_listFiles.at(m_index) << ": " << m_reader->errorString()
                      << Qt::endl;
                m_readFailed = true;
            }
            if (m_index >= 0 && m_readingStream)
                --m_streamsLeft;
            openNext();
            continue;
        }
        if (m_reader->kind() == ListReader::Kind::Comment)
            continue;
        if (m_reader->kind() == ListReader::Kind::Blank) {
            ++m_skipped;
            continue;
        }
        ++m_rows;
        m_streamRows += m_readingStream;
        row.text = m_reader->text();
        row.tooLong = m_reader->kind() == ListReader::Kind::TooLong;
        return true;
    }
    return false;
}
