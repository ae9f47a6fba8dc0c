#include "fakes/FakePage.h"

#include "support/RuntimeError.h"

void FakePage::load(const QString &url)
{
    if (failNavigate)
        throw RuntimeError(QStringLiteral("Navigation refused"));
    navigated.append(url);
    m_current = url;
    m_conditional = false;
    m_queries = 0;
    QElapsedTimer clock;
    clock.start();
    m_loadedAtMs = clock.msecsSinceReference();
}

void FakePage::loadIfChanged(const QString &url, const PageValidators &validators)
{
    load(url);
    validatorsSent.insert(url, validators);
    m_conditional = true;
}

void FakePage::abort()
{
    aborted.append(m_current);
    m_current.clear();
}

bool FakePage::isDone() const
{
    const int query = ++m_queries;
    if (onPoll)
        onPoll(m_current, query);
    return query > rows.value(m_current).pollsUntilReady;
}

qint64 FakePage::requestedAtMs() const
{
    QElapsedTimer clock;
    clock.start();
    const qint64 at = m_loadedAtMs + requestLagMs;
    return requestLagMs < 0 || clock.msecsSinceReference() < at ? -1 : at;
}

bool FakePage::failing() const
{
    const Row row = rows.value(m_current);
    return !row.error.isEmpty() && (row.failingLoads == 0 || navigated.count(m_current) <= row.failingLoads);
}

PageOutcome FakePage::takeOutcome()
{
    if (failing()) {
        const Row row = rows.value(m_current);
        PageOutcome outcome = PageOutcome::failedWith(row.error, row.failingLoads > 0 && !row.lostToRestart);
        outcome.lostToRestart = row.lostToRestart;
        return outcome;
    }
    PageOutcome outcome;
    if (m_conditional && rows.value(m_current).notModified) {
        outcome.notModified = true;
        outcome.httpStatus = 304;
        return outcome;
    }
    outcome.content = rows.value(m_current).text;
    return outcome;
}
