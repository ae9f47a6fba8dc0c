#include "app/CaptureRun.h"

#include "app/EngineSettings.h"
#include "app/IRunView.h"
#include "app/MousePointer.h"
#include "capture/OutputFile.h"
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

#include <cmath>

namespace {

const QString IdleCaption = QStringLiteral("Progress Bar");

UrlListModel::RowState stateOf(const RowResult &result)
{
    switch (result.outcome) {
    case RowResult::Outcome::Saved: return UrlListModel::RowState::Saved;
    case RowResult::Outcome::Skipped: return UrlListModel::RowState::Skipped;
    case RowResult::Outcome::Failed: break;
    case RowResult::Outcome::Stopped: return UrlListModel::RowState::None;
    }
    return UrlListModel::RowState::Failed;
}

} // namespace

CaptureRun::CaptureRun(IRunView &view, UrlListModel &list, IMessageBoxes &boxes, const QList<IPage *> &pages,
                       IEventPump &pump)
    : m_view(view), m_list(list), m_boxes(boxes), m_pump(pump),
      m_pages(guarded(pages, m_guard, [this] { showBusy(); })), m_queue(pagesOf(m_pages), pump, *this, *this, *this)
{}

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

CaptureRun::~CaptureRun() = default;

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

void CaptureRun::start()
{
    // One run at a time: the window's button stops a run rather than nesting one.
    if (m_queue.isRunning())
        return;
    ErrorGuard guard(m_boxes, OperationNames::PushButton2_Click);
    m_guard = &guard;
    try {
        run(guard);
    } catch (...) {
    }
    m_guard = nullptr;
}

void CaptureRun::startOver()
{
    start();
}

void CaptureRun::retryRows(const QList<int> &rows)
{
    Q_UNUSED(rows)
    start();
}

void CaptureRun::retryFailed()
{
    start();
}

void CaptureRun::requestStop()
{
    if (m_queue.isRunning())
        m_queue.requestStop();
}

void CaptureRun::showBusy()
{
    m_view.setMousePointer(MousePointer::Hourglass);
}

void CaptureRun::run(ErrorGuard &guard)
{
    if (guard.lineIf(100, [&] { return !(m_list.count() > 0); })) {
        guard.run(190, [&] { m_boxes.information(RunMessages::emptyList()); });
        return;
    }
    if (guard.lineIf(102, [&] { return !IsFolder(m_view.folderText()); })) {
        guard.run(188, [&] { m_boxes.information(RunMessages::missingFolder()); });
        return;
    }
    setUpEngine(guard);
    guard.run(104, [this] { showBusy(); });
    m_rowCount = 0;
    m_nextRow = 0;
    m_failures.clear();
    m_engineReported = false;
    guard.run(108, [&] { m_rowCount = m_list.count(); });
    m_list.clearRowStates();
    m_queue.run();
    finishRun(guard, m_rowCount);
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
    guard.run(180, [&] { m_view.setProgressCaption(IdleCaption); });
    const RowQueue::Summary summary = m_queue.summary();
    QString counts = countsText(summary) + QLatin1Char('.');
    if (m_queue.stopRequested() && summary.finished() < rowCount)
        counts += QStringLiteral(" Stopped after %1 of %2 rows.").arg(summary.finished()).arg(rowCount);
    guard.run(186, [&] { m_boxes.summary(RunMessages::done(), counts, m_failures.join(QLatin1Char('\n'))); });
}

IRowSource::Next CaptureRun::next()
{
    // The rows there were when the run started; rows added meanwhile wait for the next.
    if (m_nextRow >= m_rowCount)
        return {};
    ++m_nextRow;
    Next row;
    row.answer = Answer::Row;
    if (!m_guard->run(112, [&] { row.text = m_list.text(int(m_nextRow)); }))
        row.text.clear();
    return row;
}

QString CaptureRun::folder() const
{
    // Read for each row: a folder changed during a run takes the remaining rows.
    return m_view.folderText();
}

QString CaptureRun::skipReason(const QueuedRow &row, const QString &)
{
    return row.url.trimmed().isEmpty() ? QStringLiteral("blank row") : QString();
}

void CaptureRun::rowStarted(const QueuedRow &row)
{
    ErrorGuard &guard = *m_guard;
    guard.run(112, [&] { m_view.setProgressValue(progressValue(row.number, m_list.count())); });
    guard.run([&] { m_view.setProgressCaption(QStringLiteral("Processing: ") + FileNameOfPath(row.url)); });
    guard.run([&] { m_list.setRowState(int(row.number), UrlListModel::RowState::Loading); });
    guard.run([&] { m_pump.processPendingEvents(); });
    guard.run(110, [this] { showBusy(); });
}

void CaptureRun::waiting(const QueuedRow &, qint32 polls)
{
    m_guard->run(126, [&] { m_view.setProgressCaption(QStringLiteral("Please wait: ") + QString::number(polls)); });
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

void CaptureRun::rowFinished(const RowResult &result)
{
    m_guard->run(168, [this] { showBusy(); });
    const QString reason = result.reason;
    const QString file = result.saved() ? QDir::cleanPath(result.outputPath) : QString();
    const QString shown = result.saved() ? QStringLiteral("Saved as ") + file : reason;
    m_guard->run([&] { m_list.setRowState(int(result.row), stateOf(result), shown, file); });
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
