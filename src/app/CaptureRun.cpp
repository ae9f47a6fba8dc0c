#include "app/CaptureRun.h"

#include "app/EngineSettings.h"
#include "app/IRunView.h"
#include "app/ListCrawl.h"
#include "app/MousePointer.h"
#include "capture/OutputFile.h"
#include "capture/RunAddresses.h"
#include "capture/RunMessages.h"
#include "engine/PageAddress.h"
#include "support/IEventPump.h"
#include "support/IMessageBoxes.h"
#include "support/OperationNames.h"
#include "support/PathHelpers.h"
#include "support/RuntimeError.h"
#include "urllist/RowDisplayText.h"
#include "urllist/UrlListModel.h"

#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

const QString IdleCaption = QStringLiteral("Progress Bar");
const QString StoppedReason = QStringLiteral("stopped");
// How long a note holds the caption against the run's own captions.
constexpr qint64 NoteMs = 3000;

std::function<qint64()> monotonicClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

UrlListModel::RowState stateOf(const RowResult &result)
{
    switch (result.outcome) {
    case RowResult::Outcome::Saved: return UrlListModel::RowState::Saved;
    case RowResult::Outcome::Skipped: return UrlListModel::RowState::Skipped;
    case RowResult::Outcome::Failed: break;
    case RowResult::Outcome::Stopped: return UrlListModel::RowState::Stopped;
    }
    return UrlListModel::RowState::Failed;
}

} // namespace

CaptureRun::CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes, const QList<IPage *> &pages,
                       IEventPump &pump)
    : m_view(view), m_list(list), m_boxes(boxes), m_pump(pump),
      m_pages(guarded(pages, m_guard, [this] { showBusy(); })), m_queue(pagesOf(m_pages), pump, *this, *this, *this),
      m_clock(monotonicClock())
{
    m_queue.addresses().setShownRow([this](qint64 number) { return qint64(listRowOf(number)); });
    const auto removed = [this](const QModelIndex &, int first, int last) { rowsRemoved(first + 1, last + 1); };
    const auto inserted = [this](const QModelIndex &, int first, int last) { rowsInserted(first + 1, last + 1); };
    m_connections << QObject::connect(&m_list, &QAbstractItemModel::rowsRemoved, removed);
    m_connections << QObject::connect(&m_list, &QAbstractItemModel::rowsInserted, inserted);
    m_connections << QObject::connect(&m_list, &QAbstractItemModel::modelReset, [this] { rowsRemoved(1, -1); });
}

std::vector<std::unique_ptr<GuardedPage>> CaptureRun::guarded(const QList<IPage *> &pages, ErrorGuard *const &guard,
                                                              std::function<void()> showBusy)
{
    std::vector<std::unique_ptr<GuardedPage>> guardedPages;
    for (IPage *page : pages)
        guardedPages.push_back(std::make_unique<GuardedPage>(*page, guard, showBusy));
    return guardedPages;
}

QList<IPage *> CaptureRun::pagesOf(const std::vector<std::unique_ptr<GuardedPage>> &pages)
{
    QList<IPage *> list;
    for (const auto &page : pages)
        list.append(page.get());
    return list;
}

CaptureRun::~CaptureRun()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        QObject::disconnect(connection);
}

int CaptureRun::progressValue(qint64 row, qint64 count)
{
    if (count == 0)
        throw RuntimeError(QStringLiteral("Division by zero"), 11);
    return int(std::floor(double(row) / double(count) * 100.0));
}

QString CaptureRun::countsText(const RowQueue::Summary &summary)
{
    QString text = QStringLiteral("%1 saved, %2 failed").arg(summary.saved).arg(summary.failed);
    if (summary.skipped > 0)
        text += QStringLiteral(", %1 skipped").arg(summary.skipped);
    return text;
}

QString CaptureRun::processingText(const QString &name, qint64 row, qint64 rows, const RowQueue::Summary &counts)
{
    return QStringLiteral("Processing: %1 (row %2 of %3; %4)").arg(name).arg(row).arg(rows).arg(countsText(counts));
}

QString CaptureRun::waitText(qint64 seconds)
{
    return QStringLiteral("Please wait: %1 s").arg(seconds);
}

const QString &CaptureRun::stoppingText()
{
    static const QString text = QStringLiteral("Stopping…");
    return text;
}

const QString &CaptureRun::notInRunText()
{
    static const QString text = QStringLiteral("not in this run");
    return text;
}

void CaptureRun::start()
{
    startRun(m_continueNext ? Scope::Continue : Scope::Whole);
}

void CaptureRun::startOver()
{
    startRun(Scope::Whole);
}

void CaptureRun::retryRows(const QList<int> &rows)
{
    startRun(Scope::Chosen, rows);
}

void CaptureRun::retryFailed()
{
    QList<int> failed;
    for (int row = 1; row <= m_list.count(); ++row) {
        if (m_list.rowState(row) == UrlListModel::RowState::Failed)
            failed.append(row);
    }
    if (!failed.isEmpty())
        retryRows(failed);
}

void CaptureRun::startRun(Scope scope, const QList<int> &chosen)
{
    // One run at a time: the window's button stops a run rather than nesting one.
    if (m_queue.isRunning())
        return;
    ErrorGuard guard(m_boxes, OperationNames::PushButton2_Click);
    m_guard = &guard;
    try {
        run(guard, scope, chosen);
    } catch (...) {
    }
    m_guard = nullptr;
}

void CaptureRun::setRunSettings(const OutputFormat &format, int tries, int hostWaitMs)
{
    // The names earlier runs gave stay taken while the format stays.
    if (&format != m_format) {
        m_format = &format;
        m_queue.setFormat(format);
    }
    m_queue.setTries(tries);
    m_queue.setHostWait(hostWaitMs);
}

void CaptureRun::requestStop()
{
    if (!m_queue.isRunning() || m_stopping)
        return;
    m_stopping = true;
    m_view.setProgressCaption(stoppingText());
    m_caption = stoppingText();
    m_view.setRunPhase(IRunView::RunPhase::Stopping);
    m_queue.stopNow();
}

void CaptureRun::showNote(const QString &note)
{
    if (!m_queue.isRunning())
        return;
    m_noteUntil = -1;
    setCaption(note);
    m_noteUntil = m_clock() + NoteMs;
}

void CaptureRun::showBusy()
{
    m_view.setMousePointer(MousePointer::Hourglass);
}

void CaptureRun::run(ErrorGuard &guard, Scope scope, const QList<int> &chosen)
{
    if (guard.lineIf(100, [&] { return !(m_list.count() > 0); })) {
        guard.run(190, [&] { m_boxes.information(RunMessages::emptyList()); });
        return;
    }
    if (guard.lineIf(102, [&] { return !IsFolder(m_view.folderText()); })) {
        guard.run(188, [&] { m_boxes.information(RunMessages::missingFolder()); });
        return;
    }
    QList<int> rows = rowsOf(scope, chosen);
    if (rows.isEmpty() && scope == Scope::Continue) {
        scope = Scope::Whole;
        rows = rowsOf(scope, chosen);
    }
    if (rows.isEmpty())
        return;
    setUpEngine(guard);
    guard.run(104, [this] { showBusy(); });
    m_runRows = rows;
    m_rowCount = 0;
    m_failures.clear();
    m_engineReported = false;
    guard.run(108, [&] { m_rowCount = m_runRows.size(); });
    prepareRows(scope);
    if (!openCrawl(guard, scope))
        return;
    guard.run([&] { m_view.setRunPhase(IRunView::RunPhase::Running); });
    m_queue.run();
    markGone();
    finishRun(guard, m_rowCount);
    m_crawl.reset();
}

// A run that keeps a state opens it in the folder, its rows the crawl's start
// addresses; the names its pages were saved under stay theirs.
bool CaptureRun::openCrawl(ErrorGuard &guard, Scope scope)
{
    m_crawl.reset();
    if (!m_crawlSettings || scope == Scope::Chosen)
        return true;
    auto crawl = std::make_unique<ListCrawl>(m_list, *m_crawlSettings);
    QString error;
    if (!crawl->open(m_view.folderText(), m_runRows, scope == Scope::Whole, &error)) {
        guard.run([&] { m_boxes.warning(QStringLiteral("Following Links"), error); });
        guard.run([&] { m_view.setMousePointer(MousePointer::Default); });
        return false;
    }
    crawl->rows().state().forEachSaved([this](const QString &address, const QString &file) {
        if (!file.isEmpty())
            m_queue.names().take(address, file);
    });
    m_crawl = std::move(crawl);
    return true;
}

// Pages saved by an earlier pass that no page links to any more.
void CaptureRun::markGone()
{
    if (!m_crawl)
        return;
    for (const CrawlState::Entry &entry : m_crawl->endPass(m_queue.stopRequested())) {
        const QString address = entry.listed.isEmpty() ? entry.address : entry.listed;
        for (int row = 1; row <= m_list.count(); ++row) {
            if (m_list.text(row) != address)
                continue;
            m_guard->run([&] {
                m_list.setRowState(row, UrlListModel::RowState::Skipped, QStringLiteral("no longer linked"));
                m_list.setRowChange(row, QStringLiteral("gone"));
            });
            break;
        }
    }
}

// The rows a run takes: every row, those not done, or the chosen ones.
QList<int> CaptureRun::rowsOf(Scope scope, const QList<int> &chosen) const
{
    QList<int> rows;
    if (scope == Scope::Chosen) {
        for (const int row : chosen) {
            if (row >= 1 && row <= m_list.count())
                rows.append(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        return rows;
    }
    for (int row = 1; row <= m_list.count(); ++row) {
        if (scope == Scope::Whole || !UrlListModel::isDone(m_list.rowState(row)))
            rows.append(row);
    }
    return rows;
}

// Clears the states of the rows the run takes and notes what the rows it
// keeps saved and counted.
void CaptureRun::prepareRows(Scope scope)
{
    m_nextRow = 0;
    m_listRows.clear();
    m_startedAt.clear();
    m_savedBefore.clear();
    m_kept = {};
    m_rowsAtStart = m_list.count();
    m_rowsAdded = false;
    m_stopping = false;
    m_caption.clear();
    m_noteUntil = -1;
    if (scope == Scope::Whole) {
        m_results.clear();
        m_list.clearRowStates();
        return;
    }
    for (const int row : std::as_const(m_runRows))
        m_list.setRowState(row, UrlListModel::RowState::None);
    for (int row = 1; row <= m_list.count(); ++row) {
        switch (m_list.rowState(row)) {
        case UrlListModel::RowState::Saved:
            ++m_kept.saved;
            m_savedBefore.insert(RunAddresses::keyOf(m_list.text(row)), row);
            break;
        case UrlListModel::RowState::Failed: ++m_kept.failed; break;
        case UrlListModel::RowState::Skipped: ++m_kept.skipped; break;
        default: break;
        }
    }
}

void CaptureRun::setCaption(const QString &caption)
{
    if (caption == m_caption || captionHeld())
        return;
    m_caption = caption;
    m_view.setProgressCaption(caption);
}

// "Stopping…" and a fresh note keep the caption.
bool CaptureRun::captionHeld() const
{
    return m_stopping || (m_noteUntil >= 0 && m_clock() < m_noteUntil);
}

// Rows removed take their results and numbers with them; last < first: every row.
void CaptureRun::rowsRemoved(int first, int last)
{
    const bool reset = last < first;
    const auto shifted = [&](int row) {
        if (reset || (row >= first && row <= last))
            return 0;
        return row > last ? row - (last - first + 1) : row;
    };
    QMap<int, RowResult> results;
    for (RowResult result : std::as_const(m_results)) {
        result.row = shifted(int(result.row));
        if (result.row > 0)
            results.insert(int(result.row), result);
    }
    m_results = results;
    for (int &row : m_listRows)
        row = shifted(row);
    for (int &row : m_runRows)
        row = shifted(row);
    for (auto it = m_savedBefore.begin(); it != m_savedBefore.end();)
        it = (*it = shifted(*it)) > 0 ? std::next(it) : m_savedBefore.erase(it);
    if (reset)
        m_rowsAtStart = 0;
    else if (first <= m_rowsAtStart)
        m_rowsAtStart -= qMin(last, m_rowsAtStart) - first + 1;
}

// Rows added during a run are left for the next, which continues.
void CaptureRun::rowsInserted(int first, int last)
{
    if (!m_queue.isRunning() || m_addingFound)
        return;
    for (int row = qMax(first, m_rowsAtStart + 1); row <= last; ++row) {
        m_rowsAdded = true;
        m_guard->run([&] { m_list.setRowState(row, UrlListModel::RowState::NotInRun, notInRunText()); });
    }
}

void CaptureRun::setUpEngine(ErrorGuard &guard)
{
    if (!m_engineSetup)
        return;
    const QStringList problems = m_engineSetup();
    if (!problems.isEmpty())
        guard.run([&] { m_boxes.warning(QStringLiteral("Settings"), EngineSettings::problemsText(problems)); });
}

void CaptureRun::finishRun(ErrorGuard &guard, qint64 rowCount)
{
    guard.run(176, [&] { m_view.setMousePointer(MousePointer::Default); });
    guard.run(178, [&] { m_view.setProgressValue(0); });
    m_stopping = false;
    m_noteUntil = -1;
    m_caption = IdleCaption;
    guard.run(180, [&] { m_view.setProgressCaption(IdleCaption); });
    guard.run([&] { m_view.showRow(0); });
    guard.run([&] { m_view.setRunPhase(IRunView::RunPhase::Idle); });
    // A row the queue never ended (its page dropped) is not done.
    for (const int row : std::as_const(m_listRows)) {
        if (row > 0 && m_list.rowState(row) == UrlListModel::RowState::Loading)
            guard.run([&] { m_list.setRowState(row, UrlListModel::RowState::None); });
    }
    const RowQueue::Summary summary = m_queue.summary();
    QString counts = countsText(summary) + QLatin1Char('.');
    const bool stopped = m_queue.stopRequested() && summary.finished() < rowCount;
    if (stopped)
        counts += QStringLiteral(" Stopped after %1 of %2 rows.").arg(summary.finished()).arg(rowCount);
    m_continueNext = stopped || m_rowsAdded;
    guard.run(186, [&] { m_boxes.summary(RunMessages::done(), counts, m_failures.join(QLatin1Char('\n'))); });
}

IRowSource::Next CaptureRun::next()
{
    if (m_crawl) {
        int listRow = 0;
        m_addingFound = true;
        Next row = m_crawl->next(m_listRows.size() + 1, &listRow);
        m_addingFound = false;
        if (row.answer == Answer::Row)
            m_listRows.insert(m_listRows.size() + 1, listRow);
        return row;
    }
    // The rows of the run as it started; rows added meanwhile wait for the next.
    while (m_nextRow < m_runRows.size()) {
        const int listRow = m_runRows.at(m_nextRow++);
        if (listRow == 0) // removed meanwhile
            continue;
        Next row;
        row.answer = Answer::Row;
        if (!m_guard->run(112, [&] { row.text = m_list.text(listRow); }))
            row.text.clear();
        // The queue numbers the rows it is given from 1.
        m_listRows.insert(m_listRows.size() + 1, listRow);
        return row;
    }
    return {};
}

QString CaptureRun::folder() const
{
    // Read for each row: a folder changed during a run takes the remaining rows.
    return m_view.folderText();
}

QString CaptureRun::skipReason(const QueuedRow &row, const QString &)
{
    if (row.url.trimmed().isEmpty())
        return QStringLiteral("blank row");
    if (m_crawl)
        return m_crawl->rows().skipReason(row);
    // A continued run's rows against the rows it keeps; the queue compares its own.
    if (!m_savedBefore.isEmpty()) {
        const auto saved = m_savedBefore.constFind(RunAddresses::keyOf(row.url));
        if (saved != m_savedBefore.cend())
            return QStringLiteral("same address as row %1").arg(*saved);
    }
    return {};
}

QString CaptureRun::skipLoaded(const QueuedRow &row, const PageOutcome &outcome)
{
    return m_crawl ? m_crawl->rows().skipLoaded(row, outcome) : QString();
}

QString CaptureRun::unchangedUnloaded(const QueuedRow &row, const QString &outputPath)
{
    return m_crawl ? m_crawl->rows().unchangedUnloaded(row, outputPath) : QString();
}

PageValidators CaptureRun::validatorsOf(const QueuedRow &row, const QString &outputPath)
{
    return m_crawl ? m_crawl->rows().validatorsOf(row, outputPath) : PageValidators();
}

RowChange CaptureRun::changeOf(const QueuedRow &row, const PageOutcome &outcome, const QString &outputPath)
{
    return m_crawl ? m_crawl->rows().changeOf(row, outcome, outputPath) : RowChange();
}

void CaptureRun::rowEnded(const RowResult &result)
{
    if (m_crawl)
        m_crawl->rowEnded(result);
}

void CaptureRun::rowStarted(const QueuedRow &row)
{
    ErrorGuard &guard = *m_guard;
    const int listRow = listRowOf(row.number);
    m_startedAt.insert(row.number, m_clock());
    guard.run(112, [&] { m_view.setProgressValue(progressValue(listRow, m_list.count())); });
    guard.run([&] {
        RowQueue::Summary counts = m_queue.summary();
        counts.saved += m_kept.saved;
        counts.failed += m_kept.failed;
        counts.skipped += m_kept.skipped;
        setCaption(processingText(FileNameOfPath(row.url), listRow, m_list.count(), counts));
    });
    if (listRow > 0) {
        guard.run([&] { m_list.setRowState(listRow, UrlListModel::RowState::Loading); });
        guard.run([&] { m_view.showRow(listRow); });
    }
    guard.run([&] { m_pump.processPendingEvents(); });
    guard.run(110, [this] { showBusy(); });
}

// The first row loading, in whole seconds since it started, from its first second.
void CaptureRun::waiting(const QueuedRow &row, qint32)
{
    const qint64 seconds = (m_clock() - m_startedAt.value(row.number, m_clock())) / 1000;
    if (seconds >= 1)
        m_guard->run(126, [&] { setCaption(waitText(seconds)); });
    m_guard->run(128, [this] { showBusy(); });
}

bool CaptureRun::writeFile(const QueuedRow &row, const QString &path, const QString &text, QString *failure)
{
    ErrorGuard &guard = *m_guard;
    guard.run(140, [this] { showBusy(); });
    OutputFileWriter writer;
    const auto forRow = [&](const std::function<void()> &statement) {
        return GuardedPage::forRow(row.url, statement, failure);
    };
    const bool opened = guard.run(162, forRow([&] { writer.open(path); }));
    const bool written = guard.run(164, forRow([&] { writer.write(text); }));
    const bool closed = guard.run(166, forRow([&] { writer.close(); }));
    return opened && written && closed;
}

void CaptureRun::rowFinished(const RowResult &queued)
{
    m_guard->run(168, [this] { showBusy(); });
    m_startedAt.remove(queued.row);
    RowResult result = queued;
    result.row = listRowOf(queued.row);
    const QString reason = result.reason;
    const QString file = result.saved() ? QDir::cleanPath(result.outputPath) : QString();
    QString shown = result.saved() ? QStringLiteral("Saved as ") + file : reason;
    if (result.outcome == RowResult::Outcome::Stopped)
        shown = StoppedReason;
    const QString change = RowChange::nameOf(result.change.kind);
    if (result.saved() && !change.isEmpty())
        shown += QStringLiteral(" (%1)").arg(change);
    if (result.row > 0) {
        m_guard->run([&] { m_list.setRowState(int(result.row), stateOf(result), shown, file); });
        if (!change.isEmpty())
            m_guard->run([&] { m_list.setRowChange(int(result.row), change); });
        m_results.insert(int(result.row), result);
    }
    if (result.outcome == RowResult::Outcome::Failed)
        m_failures.append(RowDisplayText::failureLine(result.row, PageAddress::shown(result.url), reason));
    // A missing engine is the program's fault: reported once, its rows marked.
    if (result.page.engineMissing && !m_engineReported) {
        m_engineReported = true;
        m_guard->run(134, [&] { throw RuntimeError(reason); });
    }
    if (m_observer)
        m_observer(result);
}
