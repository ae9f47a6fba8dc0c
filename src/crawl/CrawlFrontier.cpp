#include "crawl/CrawlFrontier.h"

#include "crawl/CrawlAddress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

// Rows taken from the state at a time.
constexpr int TakenAtOnce = 16;

const QString SamePagePrefix = QStringLiteral("same page as ");

bool isRobotsSkip(const QString &reason)
{
    return reason.startsWith(QLatin1String("robots.txt"));
}

} // namespace

CrawlFrontier::CrawlFrontier(CrawlState &state, const CrawlSettings &settings)
    : m_state(state), m_settings(settings), m_scope(settings.scope)
{
    m_pages = m_state.count(CrawlState::Status::Saved) + m_state.count(CrawlState::Status::Failed);
}

bool CrawlFrontier::addStart(const QString &address, const QDateTime &listedLastModified)
{
    const QString normalised = CrawlAddress::normalised(address, m_settings.query);
    if (normalised.isEmpty()) {
        m_unrecorded.push_back(address);
        return false;
    }
    m_scope.addStart(normalised);
    CrawlState::Found start{normalised, address.trimmed(), CrawlState::Status::Queued, {}, listedLastModified};
    const QList<CrawlState::Found> added = m_state.add({start}, 0, {});
    noteStateFailure();
    if (!added.isEmpty() && m_found)
        m_found(start.listed, 0);
    return true;
}

bool CrawlFrontier::maxPagesReached() const
{
    return m_settings.maxPages > 0 && m_pages >= m_settings.maxPages;
}

std::optional<CrawlFrontier::Row> CrawlFrontier::next(qint64 number)
{
    if (!m_stateFailure.isEmpty() || maxPagesReached())
        return std::nullopt;
    if (!m_unrecorded.empty()) {
        Row row{m_unrecorded.front(), 0, {}};
        m_unrecorded.pop_front();
        return row;
    }
    for (;;) {
        if (m_taken.empty()) {
            for (CrawlState::Entry &entry : m_state.takeQueued(TakenAtOnce))
                m_taken.push_back(std::move(entry));
            noteStateFailure();
        }
        if (m_taken.empty())
            return std::nullopt;
        CrawlState::Entry entry = std::move(m_taken.front());
        m_taken.pop_front();
        if (overHostLimit(entry))
            continue;
        ++m_pages;
        m_loading.insert(number, {entry.id, entry.address, entry.saved, entry.listedLastModified});
        return Row{entry.listed, entry.depth, entry.foundOn, entry.saved, entry.listedLastModified};
    }
}

// A host past its page limit: its further rows are recorded as left out, not given.
bool CrawlFrontier::overHostLimit(const CrawlState::Entry &entry)
{
    if (m_settings.maxPagesPerHost <= 0)
        return false;
    const QString host = CrawlAddress::hostOf(entry.address);
    auto pages = m_pagesOfHost.find(host);
    if (pages == m_pagesOfHost.end()) {
        // The state counts the entries taken with this one as loading already.
        const auto ofHost = [&host](const CrawlState::Entry &taken) {
            return CrawlAddress::hostOf(taken.address) == host;
        };
        const qint64 takenNow = 1 + std::count_if(m_taken.begin(), m_taken.end(), ofHost);
        pages = m_pagesOfHost.insert(host, m_state.takenOfHost(host) - takenNow);
    }
    if (*pages < m_settings.maxPagesPerHost) {
        ++*pages;
        return false;
    }
    m_state.finish(entry.id, CrawlState::Status::Skipped,
                   QStringLiteral("--max-pages-per-host %1 reached for %2").arg(m_settings.maxPagesPerHost).arg(host),
                   {});
    noteStateFailure();
    ++m_counts.overHostLimit;
    return true;
}

QString CrawlFrontier::skipReason(const QueuedRow &row) const
{
    const auto loading = m_loading.constFind(row.number);
    if (loading == m_loading.cend() || row.depth == 0)
        return {};
    const CrawlScope::Verdict verdict = m_scope.verdict(loading->address);
    return verdict.kind == CrawlScope::Verdict::Kind::NotAPage ? verdict.reason : QString();
}

std::optional<CrawlState::Entry> CrawlFrontier::seenBefore(const QString &address, const Loading &row) const
{
    if (address.isEmpty() || address == row.address)
        return std::nullopt;
    const std::optional<CrawlState::Entry> entry = m_state.find(address);
    if (!entry || entry->pass != m_state.pass())
        return std::nullopt;
    // Of two pages loading at once that name each other, the one found first is kept.
    const bool first = entry->status == CrawlState::Status::Saved || entry->status == CrawlState::Status::Queued
        || (entry->status == CrawlState::Status::Loading && entry->id < row.id);
    return first ? entry : std::nullopt;
}

// An address a loaded page stands for is seen, so that it is never loaded on its own.
void CrawlFrontier::markSeen(const QString &address, const QString &sameAs)
{
    if (address.isEmpty())
        return;
    const std::optional<CrawlState::Entry> entry = m_state.find(address);
    const QString reason = SamePagePrefix + sameAs;
    if (!entry || entry->pass != m_state.pass())
        m_state.add({{address, address, CrawlState::Status::Skipped, reason}}, 0, sameAs);
    else if (entry->status == CrawlState::Status::Queued)
        m_state.finish(entry->id, CrawlState::Status::Skipped, reason, {});
    noteStateFailure();
}

QString CrawlFrontier::sameAs(const QueuedRow &row, const PageOutcome &outcome)
{
    const auto loading = m_loading.constFind(row.number);
    if (loading == m_loading.cend())
        return {};
    const QString target = CrawlAddress::normalised(outcome.finalUrl, m_settings.query);
    const QString canonical = CrawlAddress::normalised(outcome.links.canonical, m_settings.query);
    for (const QString &address : {target, canonical}) {
        if (const std::optional<CrawlState::Entry> first = seenBefore(address, *loading))
            return SamePagePrefix + first->listed;
    }
    for (const QString &address : {target, canonical}) {
        if (address != loading->address)
            markSeen(address, loading->address);
    }
    return {};
}

const CrawlFrontier::Taken *CrawlFrontier::taken(qint64 number) const
{
    const auto loading = m_loading.constFind(number);
    return loading == m_loading.cend() ? nullptr : &*loading;
}

void CrawlFrontier::ended(const RowResult &result, const QString &file, const SavedPage *saved)
{
    const auto loading = m_loading.constFind(result.row);
    if (loading == m_loading.cend())
        return;
    const Loading page = *loading;
    m_loading.erase(loading);
    // A row stopped while loading stays "loading" in the state: the next open queues it again.
    if (result.outcome == RowResult::Outcome::Stopped)
        return;
    CrawlState::Status status = CrawlState::Status::Failed;
    switch (result.outcome) {
    case RowResult::Outcome::Saved:
        status = CrawlState::Status::Saved;
        ++m_counts.saved;
        break;
    case RowResult::Outcome::Failed: ++m_counts.failed; break;
    case RowResult::Outcome::Skipped:
        status = CrawlState::Status::Skipped;
        // A page left unloaded is no page of the limits.
        if (!result.reason.startsWith(SamePagePrefix))
            --m_pages;
        if (isRobotsSkip(result.reason))
            ++m_counts.robots;
        else if (result.reason.startsWith(SamePagePrefix))
            ++m_counts.duplicates;
        else if (m_scope.verdict(page.address).kind == CrawlScope::Verdict::Kind::NotAPage)
            ++m_counts.notPages;
        break;
    case RowResult::Outcome::Stopped: break;
    }
    const QString reason = result.saved() ? result.note : result.reason;
    const bool recorded = result.change.kind == RowChange::Kind::Gone
        ? m_state.markGone(page.id, status, reason)
        : m_state.finish(page.id, status, reason, result.saved() ? file : QString(), result.saved() ? saved : nullptr);
    if (!recorded)
        noteStateFailure();
    if (result.saved())
        takeUp(page, result);
}

// The links of a saved page within the level and scope: new ones are queued,
// or, by a spider, listed at the last level; those out of scope are recorded.
void CrawlFrontier::takeUp(const Loading &page, const RowResult &result)
{
    const int depth = result.depth + 1;
    if (m_settings.level >= 0 && depth > m_settings.level)
        return;
    const PageLinks links = result.page.notModified ? storedLinks(page.id) : result.page.links;
    if (links.pageNofollow && !m_settings.followNofollow)
        return;
    const QList<CrawlState::Found> found = linksOf(links, depth);
    if (found.isEmpty())
        return;
    const QList<CrawlState::Found> added = m_state.add(found, depth, page.address);
    noteStateFailure();
    for (const CrawlState::Found &each : added) {
        if (each.status == CrawlState::Status::OutOfScope)
            ++m_counts.outOfScope;
        else if (m_found)
            m_found(each.listed, depth);
    }
}

// The links kept of the page's last load.
PageLinks CrawlFrontier::storedLinks(qint64 id) const
{
    const QJsonObject object = QJsonDocument::fromJson(qUncompress(m_state.storedLinks(id))).object();
    const auto list = [&object](const char *name) {
        QStringList values;
        for (const QJsonValue &value : object.value(QLatin1String(name)).toArray())
            values << value.toString();
        return values;
    };
    PageLinks links;
    links.follow = list("follow");
    links.nofollow = list("nofollow");
    links.pageNofollow = object.value(QStringLiteral("page_nofollow")).toBool();
    links.canonical = object.value(QStringLiteral("canonical")).toString();
    return links;
}

bool CrawlFrontier::everyLinkFollowed() const
{
    return m_loading.isEmpty() && m_taken.empty() && m_unrecorded.empty() && m_stateFailure.isEmpty()
        && m_state.count(CrawlState::Status::Queued) == 0;
}

QList<CrawlState::Entry> CrawlFrontier::endPass(bool complete)
{
    QList<CrawlState::Entry> gone;
    if (complete) {
        for (const CrawlState::Entry &entry : m_state.unlinked()) {
            if (!m_state.markGone(entry.id, CrawlState::Status::Gone, QStringLiteral("no longer linked")))
                break;
            gone.append(entry);
        }
    }
    if (!m_state.endPass())
        gone.clear();
    noteStateFailure();
    return gone;
}

QList<CrawlState::Found> CrawlFrontier::linksOf(const PageLinks &links, int depth) const
{
    QStringList addresses = links.follow;
    if (m_settings.followNofollow)
        addresses += links.nofollow;
    const bool listOnly = m_settings.spider && depth == m_settings.level;
    QList<CrawlState::Found> found;
    QSet<QString> taken;
    for (const QString &link : addresses) {
        const QString address = CrawlAddress::normalised(link, m_settings.query);
        if (address.isEmpty() || taken.contains(address))
            continue;
        taken.insert(address);
        const CrawlScope::Verdict verdict = m_scope.verdict(address);
        if (verdict.kind == CrawlScope::Verdict::Kind::OutOfScope)
            found.append({address, address, CrawlState::Status::OutOfScope, verdict.reason});
        else if (listOnly)
            found.append({address, address, CrawlState::Status::Skipped, QStringLiteral("listed at the last level")});
        else
            found.append({address, address, CrawlState::Status::Queued, {}});
    }
    return found;
}

void CrawlFrontier::noteStateFailure()
{
    if (m_stateFailure.isEmpty() && m_state.lastWriteFailed())
        m_stateFailure = m_state.error();
}
