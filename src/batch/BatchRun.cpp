#include "batch/BatchRun.h"

#include "batch/BatchRowSource.h"
#include "batch/ClosedOutputWatch.h"
#include "batch/DestinationFolder.h"
#include "batch/FailedRows.h"
#include "batch/ListRows.h"
#include "batch/OrderedOutput.h"
#include "batch/ProgressLine.h"
#include "batch/RobotsGate.h"
#include "batch/SavedRows.h"
#include "batch/SpiderOutput.h"
#include "batch/StandardOutputWriter.h"
#include "batch/TerminalText.h"
#include "capture/FolderOutput.h"
#include "capture/MetadataFields.h"
#include "capture/NameTemplate.h"
#include "capture/OutputFormat.h"
#include "capture/RowQueue.h"
#include "capture/RowReport.h"
#include "capture/RunMessages.h"
#include "crawl/CrawlFrontier.h"
#include "crawl/CrawlState.h"
#include "engine/IPage.h"
#include "support/IEventPump.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// The format of that name for the run's files: with --front-matter, the page's
// metadata heads each Markdown file.
OutputFormat formatNamed(const BatchOptions &options, const QString &name)
{
    const OutputFormat *named = OutputFormat::named(name);
    OutputFormat format = named ? *named : OutputFormat::text();
    if (options.frontMatter && format.form == EngineOptions::PageForm::Markdown) {
        format.compose = [compose = format.compose](const QString &row, const PageOutcome &page,
                                                    const RowChange &change) {
            return MetadataFields::frontMatter(page) + compose(row, page, change);
        };
    }
    return format;
}

OutputFormat runFormat(const BatchOptions &options)
{
    return formatNamed(options, options.format);
}

} // namespace

BatchRun::BatchRun(const BatchOptions &options, const QList<IPage *> &pages, IEventPump &pump, QTextStream &out,
                   QTextStream &err)
    : m_options(options), m_format(runFormat(options)), m_pages(pages), m_pump(pump), m_out(out), m_err(err)
{}

BatchRun::~BatchRun() = default;

int BatchRun::shardOf(const QString &fileName, int shards)
{
    return BatchRowSource::shardOf(fileName, shards);
}

QString BatchRun::rowPrefix(qint64 row) const
{
    const qint64 total = shownTotal();
    return QStringLiteral("[%1/%2] ").arg(row).arg(total < 0 ? QStringLiteral("?") : QString::number(total));
}

void BatchRun::printRow(const RowResult &result)
{
    const bool saved = result.saved();
    // A spider lists what it finds; its pages only when they fail.
    if ((m_options.quiet || m_options.spider) && result.outcome != RowResult::Outcome::Failed)
        return;
    if (m_progress)
        m_progress->hideForOut();
    static const char *const words[] = {"saved ", "FAILED ", "skipped "};
    m_out << (result.row > 0 ? rowPrefix(result.row) : QString()) << words[int(result.outcome)]
          << TerminalText::address(result.url);
    if (saved && !m_textOutput)
        m_out << " -> " << (m_records ? m_recordsFile->fileName() : result.outputPath);
    QStringList remarks{RowChange::nameOf(result.change.kind), saved ? result.note : result.reason.simplified()};
    remarks.removeAll(QString());
    if (!remarks.isEmpty())
        m_out << " (" << TerminalText::escaped(remarks.join(QStringLiteral("; "))) << ')';
    m_out << Qt::endl;
    const QString hint = m_hints.firstFor(result);
    if (!hint.isEmpty())
        m_out << "  hint: " << hint << Qt::endl;
}

qint64 BatchRun::shownTotal() const
{
    return m_source ? m_source->total() : -1;
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
    // The counts are those of the report: blank lines and left-out sitemap rows are no rows.
    m_out << "Saved " << m_saved << ", failed " << m_failed << ", skipped " << m_skipped << '.';
    if (!m_textOutput && !m_options.spider)
        m_out << " Folder: " << QDir(m_options.folder).absolutePath();
    m_out << Qt::endl;
    printChangeSummary();
    printCrawlSummary();
}

void BatchRun::printChangeSummary()
{
    if (!m_options.tracksChanges())
        return;
    using Kind = RowChange::Kind;
    m_out << "Changes: new " << m_changes[int(Kind::New)] << ", changed " << m_changes[int(Kind::Changed)] << ", same "
          << m_changes[int(Kind::Same)] << ", gone " << m_changes[int(Kind::Gone)] << '.' << Qt::endl;
}

void BatchRun::countChange(const RowResult &result)
{
    ++m_changes[int(result.change.kind)];
    // A page that failed otherwise than by being gone kept its links from the crawl.
    if (result.outcome == RowResult::Outcome::Failed && result.page.httpStatus != 404 && result.page.httpStatus != 410)
        m_unlinkedUntold = true;
}

void BatchRun::endPass(const RowQueue &queue)
{
    CrawlFrontier *crawl = m_source->crawl();
    // A stop of any kind leaves the pass for the next run to go on with.
    if (!crawl || queue.stopRequested() || !m_crawlEnd.isEmpty() || m_source->failed()
        || !crawl->stateFailure().isEmpty())
        return;
    const bool complete = m_source->ended() && crawl->everyLinkFollowed();
    if (!complete && !crawl->maxPagesReached())
        return;
    const bool tellGone = complete && m_options.recursive && m_options.tracksChanges() && !m_unlinkedUntold
        && crawl->counts().overHostLimit == 0;
    for (const CrawlState::Entry &entry : crawl->endPass(tellGone))
        reportGone(entry);
}

// A page saved by an earlier run that no page links to any more.
void BatchRun::reportGone(const CrawlState::Entry &entry)
{
    RowResult result;
    result.url = entry.listed.isEmpty() ? entry.address : entry.listed;
    result.depth = entry.depth;
    result.foundOn = entry.foundOn;
    result.outcome = RowResult::Outcome::Skipped;
    result.reason = QStringLiteral("no longer linked");
    result.outputPath = entry.file.isEmpty() ? QString() : QDir(m_options.folder).filePath(entry.file);
    result.change.kind = RowChange::Kind::Gone;
    ++m_changes[int(RowChange::Kind::Gone)];
    printRow(result);
    if (m_report && !m_report->add(result))
        cannotWrite(m_options.report, m_report->errorString(), m_reportFailed);
}

void BatchRun::printCrawlSummary()
{
    const CrawlFrontier *crawl = m_source ? m_source->crawl() : nullptr;
    if (!crawl || !m_options.recursive) {
        if (m_options.timeLimitMs > 0 && m_crawlEnd.startsWith(QLatin1String("--time-limit")))
            m_out << "Ended: " << m_crawlEnd << '.' << Qt::endl;
        return;
    }
    const CrawlFrontier::Counts &counts = crawl->counts();
    QString end = m_crawlEnd;
    if (end.isEmpty() && crawl->maxPagesReached())
        end = QStringLiteral("--max-pages %1 reached").arg(m_options.maxPages);
    if (end.isEmpty())
        end = crawl->stateFailure().isEmpty() ? QStringLiteral("every link followed")
                                              : QStringLiteral("the state file could not be written");
    m_out << "Crawl: " << (m_options.spider ? "loaded " : "saved ") << counts.saved << ", failed " << counts.failed
          << "; left out: " << counts.outOfScope << " out of scope, " << counts.robots << " by robots.txt, "
          << counts.duplicates << " duplicates, " << counts.notPages << " not pages, " << counts.overHostLimit
          << " past --max-pages-per-host. Ended: " << end << '.' << Qt::endl;
}

void BatchRun::listFound(const QString &address, int depth)
{
    if (!m_foundList)
        return;
    if (m_progress)
        m_progress->hideForOut();
    *m_foundList << TerminalText::address(address) << '\t' << depth << Qt::endl;
}

RowReport::Fields BatchRun::reportFields() const
{
    RowReport::Fields fields;
    fields.folder = m_options.folder;
    fields.toStandardOutput = !textsInFiles();
    fields.crawl = m_options.recursive || !m_options.stateFile.isEmpty();
    fields.change = m_options.tracksChanges();
    fields.mainContent = m_options.engine.mainContent;
    fields.formatFallback = !m_options.engine.plainText();
    fields.select = !m_options.engine.selectParts.isEmpty();
    // Rules may choose any of these for some rows.
    if (!m_options.rules.isEmpty()) {
        fields.rule = true;
        fields.mainContent = fields.formatFallback = fields.select = true;
    }
    return fields;
}

bool BatchRun::startCrawl(RowQueue &queue)
{
    QString error;
    if (!m_source->openCrawl(&error)) {
        complain(error);
        return false;
    }
    const CrawlState &state = *m_source->crawlState();
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        m_ownFiles.add(state.path() + suffix);
    // The names of pages saved by earlier runs stay theirs.
    state.forEachSaved([&queue](const QString &address, const QString &file) {
        if (!file.isEmpty())
            queue.names().take(address, file);
    });
    if (m_options.spider)
        m_source->crawl()->setFound([this](const QString &address, int depth) { listFound(address, depth); });
    return true;
}

void BatchRun::printStoppedBySignal()
{
    if (m_progress)
        m_progress->finish();
    // The texts finished so far are not lost, in list order past the rows that never ended.
    if (m_texts)
        m_texts->flush();
    m_out << "Stopped by signal." << Qt::endl;
    m_crawlEnd = QStringLiteral("stopped by a signal");
    printSummary();
}

void BatchRun::showProgress()
{
    if (!m_progress || !m_source)
        return;
    ProgressLine::State state;
    state.done = m_saved + m_failed + m_skipped;
    state.total = shownTotal();
    state.saved = m_saved;
    state.failed = m_failed;
    state.reading = m_source->reading();
    m_progress->update(state);
}

// With --robots, every redirect of a row is checked as a row would be.
void BatchRun::checkRedirects(bool check)
{
    IPage::RedirectCheck redirectCheck;
    if (check) {
        redirectCheck = [robots = m_source->robots()](const QString &target, IPage::RedirectAnswer answer) {
            robots->checkRedirect(target, std::move(answer));
        };
    }
    for (IPage *page : m_pages)
        page->setRedirectCheck(redirectCheck);
}

void BatchRun::loadEnded(const QueuedRow &row, int page, const PageOutcome &outcome, const LoadTimes &times)
{
    if (!m_options.verbose)
        return;
    if (m_progress)
        m_progress->hide();
    m_err << RowTimeline::answer(row, outcome) << Qt::endl;
    m_err << m_timeline.add(row, page, outcome, times) << Qt::endl;
}

// The texts of -O - that could not be written, unless nobody reads them any more.
void BatchRun::passTextFailure()
{
    if (!m_texts || !m_texts->takeFailure())
        return;
    if (m_outputWatch && m_outputWatch->check())
        return;
    cannotWrite(textsName(), m_texts->errorString(), m_textOutputFailed);
}

void BatchRun::rowFinished(const RowResult &finished)
{
    RowResult result = finished;
    const QString existing = m_source->existingNameOf(result.url);
    if (result.saved() && !existing.isEmpty()) {
        const QString note = QStringLiteral("numbered: %1 was there before the run").arg(existing);
        result.note = result.note.isEmpty() ? note : result.note + QStringLiteral("; ") + note;
    }
    switch (result.outcome) {
    case RowResult::Outcome::Saved:
        ++m_saved;
        if (!m_history->saved(result.url, RowReport::nameInFolder(m_options.folder, result.outputPath)))
            cannotWrite(m_options.archive, m_history->writeError(), m_archiveFailed);
        break;
    case RowResult::Outcome::Failed: ++m_failed; break;
    case RowResult::Outcome::Skipped: ++m_skipped; break;
    case RowResult::Outcome::Stopped: break;
    }
    countChange(result);
    passTextFailure();
    printRow(result);
    if (m_report && !m_report->add(result))
        cannotWrite(m_options.report, m_report->errorString(), m_reportFailed);
    if (m_outputWatch)
        m_outputWatch->check();
    showProgress();
}

bool BatchRun::severalRows() const
{
    return m_options.addresses.size() + m_retriedRows > 1 || !m_options.listFiles.isEmpty()
        || !m_options.webSources.isEmpty() || m_options.recursive;
}

void BatchRun::warnAboutTemplate()
{
    const QString &pattern = m_options.nameTemplate;
    if (pattern.isEmpty() || !textsInFiles())
        return;
    if (pattern.contains(QLatin1String("%(")))
        complain(QStringLiteral("warning: -o %1: \"%(NAME)s\" is no field here; fields are written {NAME}, "
                                "such as {host}/{path}")
                     .arg(pattern));
    if (!NameTemplate(pattern, m_format.extension).hasFields() && severalRows())
        complain(QStringLiteral("warning: -o %1 has no field, so every row gets this one name, numbered "
                                "(\"NAME (2)\" …); add a field such as {row}, {host}/{path} or {hash}")
                     .arg(pattern));
}

void BatchRun::complain(const QString &message)
{
    if (m_progress)
        m_progress->hide();
    m_err << errorPrefix() << TerminalText::escaped(message) << Qt::endl;
}

QString BatchRun::openRecords()
{
    // Added to, so that a run that goes on (a crawl, --retry-failed) keeps the records of the last.
    m_recordsFile = std::make_unique<QFile>(QDir(m_options.folder).filePath(QStringLiteral("records.jsonl")));
    if (!m_recordsFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return QStringLiteral("cannot write %1: %2").arg(m_recordsFile->fileName(), m_recordsFile->errorString());
    m_records = std::make_unique<OrderedOutput>(*m_recordsFile);
    return {};
}

QString BatchRun::textsName() const
{
    return m_recordsFile ? m_recordsFile->fileName() : QStringLiteral("standard output");
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
    m_source = std::make_unique<BatchRowSource>(m_options, m_format, textsInFiles(),
                                                [this](const QString &warning) { complain(warning); });
    if (!m_options.retryFailed.isEmpty()) {
        QString error;
        const QList<FailedRows::Row> retried = FailedRows::read(m_options.retryFailed, &error);
        if (!error.isEmpty()) {
            complain(error);
            return NothingRun;
        }
        m_retriedRows = retried.size();
        m_source->setRetriedRows(retried);
    }
    warnAboutTemplate();
    m_source->openLists(m_stdin, m_err, [this] { m_pump.processPendingEvents(); });
    m_source->setReadingChanged([this] { showProgress(); });
    m_saved = m_failed = m_skipped = 0;
    std::fill(std::begin(m_changes), std::end(m_changes), 0);
    m_unlinkedUntold = false;
    m_archiveFailed = m_reportFailed = m_textOutputFailed = false;
    // Sitemaps and feeds need the engine to be read.
    const bool fromWeb = !m_options.webSources.isEmpty();
    if (!fromWeb && !m_source->readFirst(m_pump)) {
        complain(QStringLiteral("the list has no rows"));
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
    if (!m_source->startFetching(m_fetchPage, m_pump))
        return NothingRun;
    if (fromWeb && !m_source->readFirst(m_pump)) {
        if (!m_source->failed())
            complain(QStringLiteral("the list has no rows"));
        return NothingRun;
    }
    return runRows();
}

int BatchRun::runRows()
{
    FolderOutput folder(m_options.folder);
    folder.setKept([this](const QString &path) { return m_ownFiles.contains(path); });
    if (m_textOutput) {
        m_texts = std::make_unique<StandardOutputWriter>(*m_textOutput, m_format, *m_source, m_options.folder);
        m_texts->setProgressLine(m_progress);
    } else if (recordsInOneFile()) {
        const QString problem = openRecords();
        if (!problem.isEmpty()) {
            complain(problem);
            return NothingRun;
        }
        m_texts = std::make_unique<StandardOutputWriter>(*m_records, m_format, *m_source, m_options.folder);
    }
    SpiderOutput spider;
    IRowOutput &output = m_options.spider ? static_cast<IRowOutput &>(spider)
        : m_texts                         ? static_cast<IRowOutput &>(*m_texts)
                                          : folder;
    RowQueue queue(m_pages, m_pump, *m_source, output, *this);
    queue.setFormat(m_format);
    queue.setTries(m_options.tries);
    queue.setHostWait(m_options.hostWaitMs);
    if (RobotsGate *robots = m_source->robots())
        queue.setHostWaitOf([robots](const QString &host) { return robots->crawlDelayMs(host); });
    // Rows told apart only by their user info keep their names when the archive resumes them.
    queue.names().setAddressForm(SavedRows::recordedAddress);
    queue.setWaitLimit(std::chrono::milliseconds(m_options.engine.longestRowMs()));
    if (!m_options.rules.isEmpty()) {
        const RowSettings base{m_options.engine, m_options.format, m_options.tries, m_options.hostWaitMs};
        const auto formatOf = [this](const QString &name) { return formatNamed(m_options, name); };
        queue.setRules(RowRules(m_options.rules, base, formatOf));
    }
    m_history = std::make_unique<SavedRows>();
    // Standard output clobbers no file.
    m_history->setNoClobber(m_options.noClobber && textsInFiles());
    QString archiveError;
    if (!m_options.archive.isEmpty() && !m_history->openArchive(m_options.archive, queue.names(), &archiveError)) {
        complain(archiveError);
        return NothingRun;
    }
    m_source->setHistory(m_history.get());
    if (m_reportDevice)
        m_report = std::make_unique<RowReport>(*m_reportDevice, reportFields());
    m_ownFiles = OwnFiles(m_options);
    if ((m_options.recursive || !m_options.stateFile.isEmpty()) && !startCrawl(queue))
        return NothingRun;
    QTimer timeLimit;
    timeLimit.setSingleShot(true);
    const auto endByTime = [this, &queue] {
        m_crawlEnd = QStringLiteral("--time-limit reached");
        queue.requestStop();
    };
    QObject::connect(&timeLimit, &QTimer::timeout, endByTime);
    if (m_options.timeLimitMs > 0)
        timeLimit.start(std::chrono::milliseconds(m_options.timeLimitMs));
    if (m_progress)
        m_progress->setLoadingSource([&queue] { return queue.loadingRows(); });
    showProgress();
    const bool robots = m_source->robots();
    if (robots)
        checkRedirects(true);
    queue.run();
    if (robots) {
        checkRedirects(false);
        m_source->robots()->refusePending();
    }
    endPass(queue);
    if (m_progress) {
        m_progress->setLoadingSource({});
        m_progress->finish();
    }
    if (m_texts && !m_texts->flush())
        cannotWrite(textsName(), m_texts->errorString(), m_textOutputFailed);
    if (!m_options.quiet)
        m_out << RunMessages::done() << Qt::endl;
    printSummary();
    if (m_options.verbose && !m_timeline.summary().isEmpty())
        m_err << m_timeline.summary() << Qt::endl;
    const bool recorded = !m_archiveFailed && !m_reportFailed && !m_textOutputFailed;
    const QString stateFailure = m_source->crawl() ? m_source->crawl()->stateFailure() : QString();
    if (!stateFailure.isEmpty())
        complain(stateFailure);
    if (m_source->failed())
        return NothingRun;
    if (!stateFailure.isEmpty())
        return SomeFailed;
    return m_failed == 0 && !m_source->readFailed() && recorded ? AllSaved : SomeFailed;
}
