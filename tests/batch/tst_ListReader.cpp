#include "batch/ListReader.h"
#include "urllist/SplitListLines.h"

#include <QBuffer>
#include <QtTest>

#include <cstring>

namespace {

struct Read {
    QStringList rows;
    QList<ListReader::Kind> kinds;
};

Read readAll(const QByteArray &bytes, qsizetype chunkBytes = ListReader::DefaultChunkBytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ListReader reader(buffer, chunkBytes);
    Read read;
    while (reader.next()) {
        read.rows << reader.text();
        read.kinds << reader.kind();
    }
    return read;
}

// `size` zero bytes, then `tail`, handed out as a pipe would.
class ZeroDevice : public QIODevice
{
public:
    ZeroDevice(qint64 size, const QByteArray &tail) : m_size(size), m_tail(tail)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

    qint64 handed = 0;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 zeros = qMin(maxSize, m_size - handed);
        if (zeros > 0) {
            std::memset(data, 0, size_t(zeros));
            handed += zeros;
            return zeros;
        }
        const qint64 tail = qMin(maxSize, m_tail.size() - (handed - m_size));
        std::memcpy(data, m_tail.constData() + (handed - m_size), size_t(tail));
        handed += tail;
        return tail;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_size;
    QByteArray m_tail;
};

} // namespace

class TestListReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitsAsListFilesAreSplitWithoutATrailingRow();
    void linesOverTheAddressLimitAreReadPastToTheirEnd();
    void commentLinesAreKnownByTheirFirstCharacter();
};

void TestListReader::splitsAsListFilesAreSplitWithoutATrailingRow()
{
    QCOMPARE(readAll("a\nb\n").rows, (QStringList{"a", "b"}));

    // Rows as SplitListLines gives them, whatever the chunks, but for its empty text
    // after a final lone line feed.
    const QList<QByteArray> lists{"a\r\n\r\nb\r\n",
                                  "a\n\nb\n",
                                  "a\n\nb",
                                  "a\rb\r",
                                  "a\n\rb",
                                  "",
                                  "\r\n",
                                  "\n",
                                  "\r\r\n\n",
                                  "  http://a/  \r\n",
                                  "\xef\xbb\xbfhttp://a/\r\nx",
                                  "ok\r\n\xff\xfe bad\r\nnext",
                                  "a\rb\rc\n\nd\r\r\ne\n\r\nf",
                                  " \t\n\xe3\x80\x80\xc2\xa0\r\xef\xbb\xbf\n\xe2\x82\xac\n"};
    for (const QByteArray &list : lists) {
        QStringList expected = SplitListLines(list);
        if (list.endsWith('\n') && !list.endsWith("\r\n"))
            expected.removeLast();
        for (qsizetype chunk : {1, 2, 3, 5, 64}) {
            const Read read = readAll(list, chunk);
            QCOMPARE(read.rows, expected);
            for (qsizetype row = 0; row < read.rows.size(); ++row)
                QCOMPARE(read.kinds.at(row) == ListReader::Kind::Blank, read.rows.at(row).trimmed().isEmpty());
        }
    }
}

void TestListReader::linesOverTheAddressLimitAreReadPastToTheirEnd()
{
    // A line of 64 MiB is read past to its end; only its start is kept.
    ZeroDevice zeros(64 * 1024 * 1024, "\r\nhttp://next/");
    ListReader reader(zeros);
    QVERIFY(reader.next());
    QCOMPARE(reader.kind(), ListReader::Kind::TooLong);
    QVERIFY(reader.text().startsWith(QString(80, QChar(0))));
    QVERIFY(reader.text().size() < 4096);
    QVERIFY(reader.next());
    QCOMPARE(reader.text(), QStringLiteral("http://next/"));
    QVERIFY(!reader.next());

    const QByteArray longest(ListReader::MaxLineBytes, 'x');
    const Read read = readAll(longest + "\n" + longest + "x\r" + longest + "xx\n\nlast", 1000);
    QCOMPARE(read.kinds,
             (QList<ListReader::Kind>{ListReader::Kind::Address, ListReader::Kind::TooLong, ListReader::Kind::TooLong,
                                      ListReader::Kind::Blank, ListReader::Kind::Address}));
    QCOMPARE(read.rows.first().size(), ListReader::MaxLineBytes);
    QCOMPARE(read.rows.last(), QStringLiteral("last"));

    // The reader's caller may end an endless input.
    ZeroDevice endless(std::numeric_limits<qint64>::max() / 2, {});
    ListReader stopped(endless);
    stopped.setAfterRead([&] { return endless.handed < 8 * 1024 * 1024; });
    QVERIFY(stopped.next());
    QCOMPARE(stopped.kind(), ListReader::Kind::TooLong);
    QVERIFY(!stopped.next());
}

void TestListReader::commentLinesAreKnownByTheirFirstCharacter()
{
    using Kind = ListReader::Kind;
    const Read read =
        readAll("# list\n  ; old\n\xc2\xa0#wide blank\nhttp://a/#frag\n\t\n;\n#" + QByteArray(3 << 20, 'x') + "\nx#");
    QCOMPARE(read.kinds,
             (QList<Kind>{Kind::Comment, Kind::Comment, Kind::Comment, Kind::Address, Kind::Blank, Kind::Comment,
                          Kind::Comment, Kind::Address}));
}

QTEST_GUILESS_MAIN(TestListReader)
#include "tst_ListReader.moc"
