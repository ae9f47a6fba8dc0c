#include "batch/BatchRun.h"

#include "batch/ClosedOutputWatch.h"
#include "batch/DestinationFolder.h"
#include "batch/BodyFetch.h"
#include "batch/ListRows.h"
#include "batch/OrderedOutput.h"
#include "batch/OwnFiles.h"
#include "batch/ProgressLine.h"
#include "batch/RobotsGate.h"
#include "batch/SavedRows.h"
#include "batch/SitemapReader.h"
#include "batch/TerminalText.h"
#include "batch/WebListRows.h"
#include "capture/CaptureRun.h"
#include "capture/OutputFile.h"
#include "capture/OutputFormat.h"
#include "capture/OutputSubfolders.h"
#include "capture/RowQueue.h"
#include "engine/IPage.h"
#include "engine/PageAddress.h"
#include "support/IEventPump.h"
#include "support/PathHelpers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <utility>

namespace {

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

BatchRun::BatchRun(const BatchOptions &options, const QList<IPage *> &pages, IEventPump &pump,
                   QTextStream &out, QTextStream &err)
    : m_options(options),
      m_format(OutputFormat::named(options.format) ? *OutputFormat::named(options.format)
                                                   : OutputFormat::text()),
      m_pages(pages),
      m_pump(pump),
      m_out(out),
      m_err(err)
{
    if (!options.nameTemplate.isEmpty())
        m_template = NameTemplate(options.nameTemplate, m_format.extension);
}

BatchRun::~BatchRun() = default;

QString BatchRun::rowPrefix(qint64 row) const
{
    const qint64 total = shownTotal();
    return QStringLiteral("[%1/%2] ").arg(row).arg(total < 0 ? QStringLiteral("?") : QString::number(total));
}

void BatchRun::printRow(const RowResult &result)
{
    const bool saved = result.saved();
    if (m_options.quiet && result.outcome != RowResult::Outcome::Failed)
        return;
    if (m_progress)
        m_progress->hideForOut();
    static const char *const words[] = {"saved ", "FAILED ", "skipped "};
    m_out << rowPrefix(result.row) << words[int(result.outcome)] << TerminalText::address(result.url);
    if (saved && !m_textOutput)
        m_out << " -> " << result.outputPath;
    const QString remark = saved ? result.note : result.reason.simplified();
    if (!remark.isEmpty())
        m_out << " (" << TerminalText::escaped(remark) << ')';
    m_out << Qt::endl;
}

int BatchRun::shardOf(const QString &fileName, int shards)
{
    const QByteArray digest = QCryptographicHash::hash(fileName.toUtf8(), QCryptographicHash::Sha256);
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | quint8(digest.at(i));
    return int(value % quint64(shards)) + 1;
}

// The row's name before any numbering.
QString BatchRun::plainName(const QString &row, QString *refusal) const
{
    if (m_template.isEmpty())
        return MakeOutputFileName(row, m_format.extension);
    return m_template.expand(row, m_listRow, refusal);
}

bool BatchRun::inShard(const QString &row) const
{
    QString refusal;
    return m_options.shards <= 1 || shardOf(plainName(row, &refusal), m_options.shards) == m_options.shard;
}

QString BatchRun::nameInFolder(const QString &path) const
{
    const QString folder = m_options.folder + QLatin1Char('/');
    return path.startsWith(folder) ? path.mid(folder.size()) : QFileInfo(path).fileName();
}

qint64 BatchRun::shownTotal() const
{
    // A shard's rows are known only once the lists are read, a sitemap's once it is.
    if (m_options.shards > 1 || !m_rows || (m_webRows && !m_webRows->allRead()))
        return -1;
    const qint64 listed = m_rows->total();
    return listed < 0 ? -1 : listed + (m_webRows ? m_webRows->rows() : 0);
}

void BatchRun::writeReport(const RowRecord &record)
{
    if (!m_report)
        return;
    const QFileInfo file(record.file);
    QJsonObject line{
        {QStringLiteral("row"), record.row},
        {QStringLiteral("address"), PageAddress::withoutUserInfo(record.address)},
        {QStringLiteral("outcome"), record.outcome},
        {QStringLiteral("file"), record.file.isEmpty() ? QJsonValue() : QJsonValue(nameInFolder(record.file))},
        {QStringLiteral("bytes"), record.outcome != QLatin1String("saved") ? QJsonValue()
                                  : QJsonValue(record.textBytes >= 0 ? record.textBytes : file.size())},
        {QStringLiteral("http_status"), record.httpStatus > 0 ? QJsonValue(record.httpStatus) : QJsonValue()},
        {QStringLiteral("content_type"), record.contentType.isEmpty() ? QJsonValue() : QJsonValue(record.contentType)},
        {QStringLiteral("reason"), record.reason.isEmpty() ? QJsonValue() : QJsonValue(record.reason)},
        {QStringLiteral("ms"), record.ms},
        {QStringLiteral("tries"), record.tries},
    };
    if (m_options.engine.mainContent)
        line.insert(QStringLiteral("fallback"), record.fallback);
    if (!m_options.engine.plainText()) {
        line.insert(QStringLiteral("format_fallback"), record.formatFallback.isEmpty()
                        ? QJsonValue() : QJsonValue(record.formatFallback));
    }
    const QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (m_report->write(bytes) != bytes.size() || !m_report->flush()) {
        cannotWrite(m_options.report, m_report->errorString(), m_reportFailed);
        m_report->unsetError();
    }
}

void BatchRun::cannotWrite(const QString &path, const QString &reason, bool &named)
{
    if (!named)
        complain(QStringLiteral("cannot write %1: %2").arg(path, reason));
    named = true;
}

void BatchRun::printSummary()
{
    if (m_progress)
        m_progress->hideForOut();
    m_out << "Saved " << m_saved << ", failed " << m_failed << ", skipped "
          << (m_rows ? m_rows->skipped() : 0) + m_skipped << '.';
    if (!m_textOutput)
        m_out << " Folder: " << QDir(m_options.folder).absolutePath();
    m_out << Qt::endl;
}

void BatchRun::printStoppedBySignal()
{
    if (m_progress)
        m_progress->finish();
    // The texts finished so far are not lost, in list order past the rows that never ended.
    if (m_textOutput)
        m_textOutput->flush();
    m_out << "Stopped by signal." << Qt::endl;
    printSummary();
}

void BatchRun::showProgress()
{
    if (!m_progress || !m_rows)
        return;
    ProgressLine::State state;
    state.done = m_saved + m_failed + m_skipped;
    state.total = shownTotal();
    state.saved = m_saved;
    state.failed = m_failed;
    state.reading = m_reading;
    m_progress->update(state);
}

std::optional<BatchRun::SourceRow> BatchRun::nextRow()
{
    if (m_firstRow)
        return std::exchange(m_firstRow, std::nullopt);
    SourceRow next;
    ListRows::Row row;
    if (!m_listsRead && m_rows->next(row)) {
        // A row too long never reaches the engine.
        if (row.tooLong) {
            next.text = addressStart(row.text);
            next.refusal = QStringLiteral("address too long");
        } else {
            next.text = std::move(row.text);
        }
        return next;
    }
    m_listsRead = true;
    if (!m_webRows || m_sourceFailed)
        return std::nullopt;
    if (m_webRows->next(next.text, next.refusal))
        return next;
    if (!m_webRows->error().isEmpty()) {
        // The rows already read run; no further ones are taken.
        complain(m_webRows->error());
        m_sourceFailed = true;
    }
    return std::nullopt;
}

bool BatchRun::next(QString &text, QString &refusal)
{
    for (;;) {
        std::optional<SourceRow> row = nextRow();
        if (!row)
            return false;
        ++m_listRow;
        text = std::move(row->text);
        refusal = std::move(row->refusal);
        // A name that could make no file fails its row, unless there are no files.
        if (refusal.isEmpty() && !m_template.isEmpty() && !m_textOutput)
            plainName(text, &refusal);
        if (!refusal.isEmpty()) {
            ++m_rowsGiven;
            return true;
        }
        if (inShard(text)) {
            ++m_rowsGiven;
            if (m_robots)
                m_robots->prepare(text);
            return true;
        }
    }
}

QString BatchRun::skipReason(const QueuedRow &row, const QString &outputPath)
{
    const QString robots = m_robots ? m_robots->skipReason(row.url) : QString();
    return robots.isEmpty() ? m_history->skipReason(row.url, outputPath) : robots;
}

bool BatchRun::readyToStart(const QueuedRow &row)
{
    // A row waits for its site's robots.txt while other rows load.
    return !m_robots || m_robots->isKnown(row.url);
}

// With --robots, every redirect of a row is checked as a row would be.
void BatchRun::checkRedirects(bool check)
{
    IPage::RedirectCheck redirectCheck;
    if (check) {
        redirectCheck = [this](const QString &target, IPage::RedirectAnswer answer) {
            m_robots->checkRedirect(target, std::move(answer));
        };
    }
    for (IPage *page : m_pages)
        page->setRedirectCheck(redirectCheck);
}

bool BatchRun::write(const QueuedRow &row, const QString &path, const QString &content, QString *failure)
{
    if (!m_textOutput) {
        if (m_ownFiles.contains(path)) {
            *failure = QStringLiteral("the name is one of this run's own files");
            return false;
        }
        OutputSubfolders folders(m_options.folder, row.name);
        if (folders.make(failure) && IRowSteps::write(row, path, content, failure))
            return true;
        folders.removeMade();
        return false;
    }
    const bool lines = m_format.name == QLatin1String("json");
    if (!m_headsChosen) {
        // The rows are read ahead of the first page's end: more than one is known by now.
        m_textOutput->setHeads(!lines && m_rowsGiven > 1);
        m_headsChosen = true;
    }
    m_text = lines ? QJsonDocument::fromJson(content.toUtf8()).toJson(QJsonDocument::Compact) + '\n'
                   : content.toUtf8();
    return true;
}

// Hands the row's end to the texts in list order.
void BatchRun::passText(const RowResult &result)
{
    if (m_progress)
        m_progress->hideForOut();
    std::optional<QByteArray> text;
    if (result.saved())
        text.swap(m_text);
    m_text.reset();
    if (!m_textOutput->finished(result.row, TerminalText::address(result.url), text)) {
        if (m_outputWatch && m_outputWatch->check())
            return;
        cannotWrite(QStringLiteral("standard output"), m_textOutput->errorString(), m_textOutputFailed);
    }
}

void BatchRun::rowFinished(const RowResult &result)
{
    switch (result.outcome) {
    case RowResult::Outcome::Saved:
        ++m_saved;
        if (!m_history->saved(result.url, nameInFolder(result.outputPath)))
            cannotWrite(m_options.archive, m_history->writeError(), m_archiveFailed);
        break;
    case RowResult::Outcome::Failed: ++m_failed; break;
    case RowResult::Outcome::Skipped: ++m_skipped; break;
    }
    const qint64 textBytes = m_textOutput && result.saved() && m_text ? m_text->size() : -1;
    if (m_textOutput)
        passText(result);
    printRow(result);
    static const QString outcomes[] = {QStringLiteral("saved"), QStringLiteral("failed"),
                                       QStringLiteral("skipped")};
    writeReport({result.row, result.url, outcomes[int(result.outcome)],
                 m_textOutput ? QString() : result.outputPath,
                 result.saved() ? QString() : result.reason.simplified(), result.page.httpStatus,
                 result.page.contentType, result.ms, result.tries,
                 result.saved() && result.page.mainContentFallback,
                 result.saved() ? result.page.formatFallback : QString(), textBytes});
    if (m_outputWatch)
        m_outputWatch->check();
    showProgress();
}

void BatchRun::complain(const QString &message)
{
    if (m_progress)
        m_progress->hide();
    m_err << errorPrefix() << TerminalText::escaped(message) << Qt::endl;
}

// The fetching of sitemaps, feeds and robots.txt files, when the options ask for it.
bool BatchRun::startFetching()
{
    const bool fromWeb = !m_options.webSources.isEmpty();
    if (!fromWeb && !m_options.robots)
        return true;
    if (!m_fetchPage) {
        complain(QStringLiteral("no page to fetch sitemaps, feeds or robots.txt with"));
        return false;
    }
    const auto warn = [this](const QString &warning) { complain(warning); };
    // A sitemap may hold 50 MiB, more than a page.
    m_fetch = std::make_unique<BodyFetch>(*m_fetchPage, m_pump,
                                          std::chrono::milliseconds(m_options.engine.longestRowMs()),
                                          qMax(m_options.engine.pageCap, SitemapReader::MaxInflatedBytes));
    if (fromWeb) {
        m_webRows = std::make_unique<WebListRows>(*m_fetch, m_options.webSources, warn);
        m_webRows->setReading([this](const QString &what) {
            m_reading = what;
            showProgress();
        });
    }
    if (m_options.robots)
        m_robots = std::make_unique<RobotsGate>(*m_fetch, m_options.engine.pageLimitMs, warn);
    return true;
}

QString BatchRun::prepareFolder()
{
    return m_textOutput ? QString() : DestinationFolder::prepare(m_options.folder);
}

int BatchRun::run()
{
    // Every list is checked before any row runs.
    for (const QString &listFile : m_options.listFiles) {
        const QString problem = ListRows::problem(listFile);
        if (!problem.isEmpty()) {
            complain(problem);
            return NothingRun;
        }
    }
    m_rows = std::make_unique<ListRows>(m_options.addresses, m_options.listFiles, m_stdin, m_err);
    m_rows->setAfterRead([this] { m_pump.processPendingEvents(); });
    m_saved = m_failed = m_skipped = 0;
    m_archiveFailed = m_reportFailed = m_textOutputFailed = false;
    m_rowsGiven = 0;
    m_headsChosen = false;
    m_listsRead = m_sourceFailed = false;
    m_listRow = 0;
    m_webRows.reset();
    m_robots.reset();
    // Sitemaps and feeds need the engine to be read.
    const bool fromWeb = !m_options.webSources.isEmpty();
    if (!fromWeb && !(m_firstRow = nextRow())) {
        complain(CaptureRun::emptyListMessage());
        return NothingRun;
    }
    const QString folderProblem = prepareFolder();
    if (!folderProblem.isEmpty()) {
        complain(folderProblem);
        return NothingRun;
    }
    const QString unavailable = m_pages.front()->unavailableReason();
    if (!unavailable.isEmpty()) {
        complain(unavailable);
        return NothingRun;
    }
    if (!startFetching())
        return NothingRun;
    if (fromWeb && !(m_firstRow = nextRow())) {
        if (!m_sourceFailed)
            complain(CaptureRun::emptyListMessage());
        return NothingRun;
    }

    RowQueue queue(m_pages, m_pump, *this, *this);
    queue.setFormat(m_format);
    queue.setTries(m_options.tries, m_firstPauseMs);
    queue.setHostWait(m_options.hostWaitMs);
    if (m_robots)
        queue.setHostWaitOf([this](const QString &host) { return m_robots->crawlDelayMs(host); });
    // Rows told apart only by their user info keep their names when the archive resumes them.
    queue.names().setAddressForm(SavedRows::recordedAddress);
    if (!m_template.isEmpty()) {
        queue.names().setNamer([this](const QString &address) {
            QString refusal;
            return m_template.expand(address, m_listRow, &refusal);
        });
    }
    queue.setWaitLimit(std::chrono::milliseconds(m_options.engine.longestRowMs()));
    if (m_options.verbose) {
        queue.setLoadTimeline([this](const QueuedRow &row, int page, const PageOutcome &outcome,
                                     const RowQueue::LoadTimes &times) {
            if (m_progress)
                m_progress->hide();
            m_err << m_timeline.add(row, page, outcome, times) << Qt::endl;
        });
    }
    m_history = std::make_unique<SavedRows>();
    // Standard output clobbers no file.
    m_history->setNoClobber(m_options.noClobber && !m_textOutput);
    QString archiveError;
    if (!m_options.archive.isEmpty() && !m_history->openArchive(m_options.archive, queue.names(), &archiveError)) {
        complain(archiveError);
        return NothingRun;
    }
    m_ownFiles = OwnFiles(m_options);
    m_queue = &queue;
    if (m_progress) {
        m_progress->setLoadingSource([&queue] { return queue.loadingRows(); });
    }
    showProgress();
    if (m_robots)
        checkRedirects(true);
    queue.run();
    if (m_robots) {
        checkRedirects(false);
        m_robots->refusePending();
    }
    if (m_progress) {
        m_progress->setLoadingSource({});
        m_progress->finish();
    }
    m_queue = nullptr;
    if (m_textOutput && !m_textOutput->flush())
        cannotWrite(QStringLiteral("standard output"), m_textOutput->errorString(), m_textOutputFailed);
    if (!m_options.quiet)
        m_out << CaptureRun::doneMessage() << Qt::endl;
    printSummary();
    if (m_options.verbose && !m_timeline.summary().isEmpty())
        m_err << m_timeline.summary() << Qt::endl;
    const bool recorded = !m_archiveFailed && !m_reportFailed && !m_textOutputFailed;
    if (m_sourceFailed)
        return NothingRun;
    return m_failed == 0 && !m_rows->readFailed() && recorded ? AllSaved : SomeFailed;
}

