#include "batch/OptionValues.h"

#include <QtTest>

namespace {

template <typename T> QString answer(const std::optional<T> &value)
{
    return value ? QString::number(*value) : QStringLiteral("refused");
}

QString timeout(const QString &text)
{
    return answer(OptionValues::milliseconds(text, 0.1));
}
QString jobs(const QString &text)
{
    return answer(OptionValues::count(text, 32));
}
QString memory(const QString &text)
{
    return answer(OptionValues::count(text, 1'048'576, 100));
}

QString window(const QString &text)
{
    const std::optional<QSize> size = OptionValues::windowSize(text);
    return size ? QStringLiteral("%1x%2").arg(size->width()).arg(size->height()) : QStringLiteral("refused");
}

QString shard(const QString &text)
{
    const std::optional<OptionValues::Shard> shard = OptionValues::shard(text);
    return shard ? QStringLiteral("%1 of %2").arg(shard->shard).arg(shard->shards) : QStringLiteral("refused");
}

} // namespace

// The edges of each range, as the options check them; the command line's tests have values far off them.
class TestOptionValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valuesAtTheEdgesOfTheirRanges();
};

void TestOptionValues::valuesAtTheEdgesOfTheirRanges()
{
    const struct {
        QString (*check)(const QString &);
        const char *text;
        const char *read;
    } cases[] = {
        {timeout, "0.1", "100"},
        {timeout, "0.09", "refused"},
        {timeout, "86400", "86400000"},
        {timeout, "86400.5", "refused"},
        {timeout, "nan", "refused"},
        {jobs, "32", "32"},
        {jobs, "33", "refused"},
        {jobs, "1.5", "refused"},
        {memory, "100", "100"},
        {memory, "1048576", "1048576"},
        {memory, "1048577", "refused"},
        {window, "100x100", "100x100"},
        {window, "10000X10000", "10000x10000"},
        {window, "10001x800", "refused"},
        {window, "1280x800x2", "refused"},
        {window, " 1280x800", "refused"},
        {shard, "1/1", "1 of 1"},
        {shard, "2/2", "2 of 2"},
        {shard, "0/2", "refused"},
        {shard, "1/0", "refused"},
        {shard, "1/2/3", "refused"},
        {shard, "1/1234567", "refused"},
    };
    for (const auto &test : cases) {
        const QString read = test.check(QString::fromLatin1(test.text));
        QVERIFY2(read == QLatin1String(test.read), qPrintable(QStringLiteral("%1: %2").arg(test.text, read)));
    }
}

QTEST_GUILESS_MAIN(TestOptionValues)
#include "tst_OptionValues.moc"
