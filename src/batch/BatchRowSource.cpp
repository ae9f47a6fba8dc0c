#include "batch/BatchRowSource.h"

#include "batch/BodyFetch.h"
#include "batch/ListRows.h"
#include "batch/RobotsGate.h"
#include "batch/SavedRows.h"
#include "batch/SitemapReader.h"
#include "batch/WebListRows.h"
#include "capture/OutputFile.h"
#include "capture/OutputFormat.h"
#include "capture/RowReport.h"
#include "crawl/CrawlRows.h"
#include "crawl/CrawlState.h"
#include "support/IEventPump.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

// Start addresses read into a crawl at a time, between its rows.
constexpr int StartsAtOnce = 64;

// The first characters of a row too long to show, unprintable ones replaced.
QString addressStart(const QString &text)
{
    constexpr qsizetype Shown = 80;
    qsizetype size = qMin(text.size(), Shown);
    if (size > 0 && size < text.size() && text.at(size - 1).isHighSurrogate())
        --size;
    QString start = text.left(size);
    for (QChar &character : start) {
        if (character.category() == QChar::Other_Control)
            character = QChar::ReplacementCharacter;
    }
    return start + QStringLiteral("…");
}

} // namespace

BatchRowSource::BatchRowSource(const BatchOptions &options, const OutputFormat &format, bool namesFiles, Warn warn)
    : m_options(options), m_format(format), m_namesFiles(namesFiles), m_warn(std::move(warn))
{
    if (!options.nameTemplate.isEmpty())
        m_template = NameTemplate(options.nameTemplate, format.extension);
    m_template.setRestricted(options.restrictFilenames);
}

BatchRowSource::~BatchRowSource() = default;

int BatchRowSource::shardOf(const QString &fileName, int shards)
{
    const QByteArray digest = QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha256);
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | quint8(digest.at(i));
    return int(value % quint64(shards)) + 1;
}

void BatchRowSource::openLists(QIODevice *input, QTextStream &err, std::function<void()> afterRead)
{
    m_rows = std::make_unique<ListRows>(m_options.addresses, m_options.listFiles, input, err);
    m_rows->setAfterRead(std::move(afterRead));
}

bool BatchRowSource::startFetching(IPage *page, IEventPump &pump)
{
    const bool fromWeb = !m_options.webSources.isEmpty();
    if (!fromWeb && !m_options.robots)
        return true;
    if (!page) {
        m_warn(QStringLiteral("no page to fetch sitemaps, feeds or robots.txt with"));
        return false;
    }
    // A sitemap may hold 50 MiB, more than a page.
    m_fetch = std::make_unique<BodyFetch>(*page, pump, std::chrono::milliseconds(m_options.engine.longestRowMs()),
                                          qMax(m_options.engine.pageCap, SitemapReader::MaxInflatedBytes));
    if (fromWeb) {
        m_webRows = std::make_unique<WebListRows>(*m_fetch, m_options.webSources, m_warn);
        if (m_options.sitemapChangedSince.isValid())
            m_webRows->setChangedSince(m_options.sitemapChangedSince);
        m_webRows->setReading([this](const QString &what) {
            m_reading = what;
            if (m_readingChanged)
                m_readingChanged();
        });
    }
    if (m_options.robots)
        m_robots = std::make_unique<RobotsGate>(*m_fetch, m_options.engine.pageLimitMs, m_warn);
    return true;
}

bool BatchRowSource::readFirst(IEventPump &pump)
{
    if (m_firstRow)
        return true;
    ListedRow row;
    Answer answer;
    while ((answer = nextListed(row)) == Answer::NotYet)
        pump.waitForEvents(100);
    if (answer == Answer::Row)
        m_firstRow = std::move(row);
    return m_firstRow.has_value();
}

IRowSource::Answer BatchRowSource::nextListed(ListedRow &row)
{
    if (m_firstRow) {
        row = std::move(*m_firstRow);
        m_firstRow.reset();
        return Answer::Row;
    }
    if (m_nextRetried < m_retried.size()) {
        row.retried = m_retried.at(m_nextRetried++);
        row.text = row.retried->address;
        return Answer::Row;
    }
    ListRows::Row listed;
    if (!m_listsRead && m_rows->next(listed)) {
        // A row too long never reaches the engine.
        if (listed.tooLong) {
            row.text = addressStart(listed.text);
            row.failure = QStringLiteral("address too long");
        } else {
            row.text = std::move(listed.text);
        }
        return Answer::Row;
    }
    m_listsRead = true;
    if (!m_webRows || m_failed)
        return Answer::End;
    const Answer answer = m_webRows->next(row.text, row.failure, &row.lastModified);
    if (answer != Answer::End)
        return answer;
    if (!m_webRows->error().isEmpty()) {
        // The rows already read run; no further ones are taken.
        m_warn(m_webRows->error());
        m_failed = true;
    }
    return Answer::End;
}

IRowSource::Next BatchRowSource::next()
{
    if (m_crawl)
        return nextCrawled();
    for (;;) {
        ListedRow listed;
        const Answer answer = nextListed(listed);
        if (answer != Answer::Row) {
            m_ended = answer == Answer::End;
            Next none;
            none.answer = answer;
            return none;
        }
        // A retried row keeps its number, and its name when it had one.
        const qint64 number = listed.retried ? listed.retried->number : ++m_listRow;
        Next row;
        row.answer = Answer::Row;
        row.text = std::move(listed.text);
        row.failure = std::move(listed.failure);
        if (listed.retried && !listed.retried->file.isEmpty())
            row.name = listed.retried->file;
        else if (row.failure.isEmpty())
            name(row, number, listed.retried.has_value());
        if (!row.failure.isEmpty()) {
            ++m_rowsGiven;
            return row;
        }
        if (inShard(row)) {
            ++m_rowsGiven;
            if (m_robots)
                m_robots->prepare(row.text);
            return row;
        }
    }
}

void BatchRowSource::name(Next &row, qint64 number, bool retried)
{
    if (m_template.isEmpty()) {
        if (m_options.restrictFilenames)
            row.name = RestrictedFileName(MakeOutputFileName(row.text, m_format.extension));
        return;
    }
    QString failure;
    row.name = m_template.expand(row.text, number, &failure);
    // A name that could make no file fails its row, unless there are no files.
    if (m_namesFiles)
        row.failure = failure;
    // Row numbers differ from run to run; a retried row's is that of its run.
    if (m_namesFiles && failure.isEmpty() && m_template.hasRowField() && !m_options.noClobber && !retried)
        row.name = unclaimed(row.text, *row.name);
}

QString BatchRowSource::unclaimed(const QString &address, const QString &name)
{
    const QDir folder(m_options.folder.isEmpty() ? QStringLiteral(".") : m_options.folder);
    if (!QFileInfo::exists(folder.filePath(name)))
        return name;
    int number = 2;
    while (QFileInfo::exists(folder.filePath(NumberedOutputFileName(name, number))))
        ++number;
    m_existingNames.insert(address, name);
    return NumberedOutputFileName(name, number);
}

bool BatchRowSource::openCrawl(QString *error)
{
    QStringList starts = m_options.addresses;
    for (const QString &list : m_options.listFiles)
        starts << (list == QLatin1String("-") ? list : QFileInfo(list).absoluteFilePath());
    for (const WebSource &source : m_options.webSources)
        starts << source.address;
    CrawlRows::Settings settings;
    settings.crawl = m_options.crawlSettings();
    settings.tracksChanges = m_options.tracksChanges();
    settings.changes = m_options.changeSettings();
    settings.namesFiles = m_namesFiles;
    settings.writesDiffs = m_options.diff && m_format.extension != QLatin1String(".json");
    const QString path = m_options.stateFile.isEmpty() ? QDir(m_options.folder).filePath(BatchOptions::CrawlStateName)
                                                       : m_options.stateFile;
    auto crawl = std::make_unique<CrawlRows>(settings, m_warn);
    if (!crawl->open(path, starts, m_options.newState, error))
        return false;
    m_crawl = std::move(crawl);
    return true;
}

std::optional<IRowSource::Next> BatchRowSource::readStarts()
{
    for (int read = 0; !m_startsRead && read < StartsAtOnce; ++read) {
        ListedRow listed;
        const Answer answer = nextListed(listed);
        if (answer == Answer::NotYet)
            break;
        if (answer == Answer::End) {
            m_startsRead = true;
            break;
        }
        if (!listed.failure.isEmpty()) {
            Next row;
            row.answer = Answer::Row;
            row.text = std::move(listed.text);
            row.failure = std::move(listed.failure);
            return row;
        }
        m_crawl->frontier().addStart(listed.text, listed.lastModified);
    }
    return std::nullopt;
}

IRowSource::Next BatchRowSource::nextCrawled()
{
    Next row;
    if (std::optional<Next> failed = readStarts()) {
        row = std::move(*failed);
    } else if (std::optional<CrawlFrontier::Row> crawled = m_crawl->frontier().next(m_rowsGiven + 1)) {
        row.answer = Answer::Row;
        row.text = crawled->address;
        row.depth = crawled->depth;
        row.foundOn = crawled->foundOn;
        name(row, m_rowsGiven + 1);
    } else {
        // Rows loading may find more links, and more start addresses may come.
        const bool more =
            (!m_startsRead || m_crawl->frontier().hasRowsLoading()) && m_crawl->frontier().stateFailure().isEmpty();
        row.answer = more ? Answer::NotYet : Answer::End;
        m_ended = !more;
        return row;
    }
    ++m_rowsGiven;
    if (m_robots && row.failure.isEmpty())
        m_robots->prepare(row.text);
    return row;
}

QString BatchRowSource::skipLoaded(const QueuedRow &row, const PageOutcome &outcome)
{
    return m_crawl ? m_crawl->skipLoaded(row, outcome) : QString();
}

QString BatchRowSource::unchangedUnloaded(const QueuedRow &row, const QString &outputPath)
{
    return m_crawl ? m_crawl->unchangedUnloaded(row, outputPath) : QString();
}

PageValidators BatchRowSource::validatorsOf(const QueuedRow &row, const QString &outputPath)
{
    return m_crawl ? m_crawl->validatorsOf(row, outputPath) : PageValidators();
}

RowChange BatchRowSource::changeOf(const QueuedRow &row, const PageOutcome &outcome, const QString &outputPath)
{
    return m_crawl ? m_crawl->changeOf(row, outcome, outputPath) : RowChange();
}

void BatchRowSource::rowEnded(const RowResult &result)
{
    if (m_crawl)
        m_crawl->rowEnded(result, RowReport::nameInFolder(m_options.folder, result.outputPath));
}

bool BatchRowSource::inShard(const Next &row) const
{
    if (m_options.shards <= 1)
        return true;
    const QString name = row.name ? *row.name : MakeOutputFileName(row.text, m_format.extension);
    return shardOf(name, m_options.shards) == m_options.shard;
}

bool BatchRowSource::readyToStart(const QueuedRow &row)
{
    // A row waits for its site's robots.txt while other rows load.
    return !m_robots || m_robots->isKnown(row.url);
}

QString BatchRowSource::skipReason(const QueuedRow &row, const QString &outputPath)
{
    if (m_crawl) {
        const QString notPage = m_crawl->skipReason(row);
        if (!notPage.isEmpty())
            return notPage;
    }
    const QString robots = m_robots ? m_robots->skipReason(row.url) : QString();
    if (!robots.isEmpty() || !m_history)
        return robots;
    return m_history->skipReason(row.url, outputPath);
}

qint64 BatchRowSource::total() const
{
    // A shard's rows are known only once the lists are read, a sitemap's once it is.
    if (m_crawl || m_options.shards > 1 || !m_rows || (m_webRows && !m_webRows->allRead()))
        return -1;
    const qint64 listed = m_rows->total();
    return listed < 0 ? -1 : m_retried.size() + listed + (m_webRows ? m_webRows->rows() : 0);
}

bool BatchRowSource::readFailed() const
{
    return m_rows && m_rows->readFailed();
}
