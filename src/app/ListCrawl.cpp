#include "app/ListCrawl.h"

#include "urllist/UrlListModel.h"

#include <QDir>

ListCrawl::ListCrawl(UrlListModel &list, const CrawlRows::Settings &settings) : m_list(list), m_settings(settings) {}

ListCrawl::~ListCrawl() = default;

bool ListCrawl::open(const QString &folder, const QList<int> &startRows, bool newPass, QString *error)
{
    // A page found again (in a run that goes on) keeps the row it was given.
    m_rowOfText.clear();
    for (int row = m_list.count(); row >= 1; --row)
        m_rowOfText.insert(m_list.text(row), row);
    QStringList starts;
    for (int row : startRows) {
        starts << m_list.text(row);
        m_rowOfText.insert(starts.last(), row);
    }
    m_folder = folder;
    const QString path = QDir(folder).filePath(StateName);
    m_rows.reset();
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto rows = std::make_unique<CrawlRows>(m_settings, [](const QString &) {});
        QString refusal;
        // The window has no --new-state: a state of other settings begins a new crawl.
        if (!rows->open(path, {}, false, &refusal) && !rows->open(path, {}, true, error))
            return false;
        if (!newPass || attempt == 1) {
            m_rows = std::move(rows);
            break;
        }
        // The pass of a run that was stopped ends here; the next open begins a new one.
        rows->frontier().endPass(false);
    }
    for (const QString &start : std::as_const(starts))
        m_rows->frontier().addStart(start);
    return true;
}

int ListCrawl::listRowOf(const QString &address)
{
    const auto known = m_rowOfText.constFind(address);
    if (known != m_rowOfText.cend())
        return *known;
    m_list.append(address);
    m_rowOfText.insert(address, m_list.count());
    return m_list.count();
}

IRowSource::Next ListCrawl::next(qint64 number, int *listRow)
{
    IRowSource::Next next;
    CrawlFrontier &frontier = m_rows->frontier();
    const std::optional<CrawlFrontier::Row> row = frontier.next(number);
    if (!row) {
        const bool more = frontier.hasRowsLoading() && frontier.stateFailure().isEmpty();
        next.answer = more ? IRowSource::Answer::NotYet : IRowSource::Answer::End;
        return next;
    }
    next.answer = IRowSource::Answer::Row;
    next.text = row->address;
    next.depth = row->depth;
    next.foundOn = row->foundOn;
    *listRow = listRowOf(row->address);
    return next;
}

void ListCrawl::rowEnded(const RowResult &result)
{
    if (result.outcome == RowResult::Outcome::Failed && result.page.httpStatus != 404 && result.page.httpStatus != 410)
        m_linksLost = true;
    const QString file = result.outputPath.isEmpty() ? QString() : QDir(m_folder).relativeFilePath(result.outputPath);
    m_rows->rowEnded(result, file);
}

QList<CrawlState::Entry> ListCrawl::endPass(bool stopped)
{
    CrawlFrontier &frontier = m_rows->frontier();
    if (stopped || !frontier.stateFailure().isEmpty())
        return {};
    const bool complete = frontier.everyLinkFollowed();
    if (!complete && !frontier.maxPagesReached())
        return {};
    const bool tellGone = complete && m_settings.tracksChanges && m_settings.changes.keepLinks && !m_linksLost
        && frontier.counts().overHostLimit == 0;
    return frontier.endPass(tellGone);
}
