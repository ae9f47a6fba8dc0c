#include "app/GuardedPage.h"

#include "engine/PageAddress.h"
#include "support/RuntimeError.h"

#include <exception>

GuardedPage::GuardedPage(IPage &page, ErrorGuard *const &guard, std::function<void()> showBusy)
    : m_page(page), m_guard(guard), m_showBusy(std::move(showBusy))
{
    m_page.setDoneHandler([this] { notifyDone(); });
}

ErrorGuard::Statement GuardedPage::forRow(const QString &url, const std::function<void()> &statement, QString *failure)
{
    return [url, statement, failure] {
        try {
            statement();
        } catch (const RuntimeError &error) {
            const RuntimeError named = error.description().contains(url)
                ? error
                : RuntimeError(PageAddress::shown(url) + QStringLiteral(": ") + error.description(), error.number());
            if (failure && failure->isEmpty())
                *failure = error.description();
            throw named;
        }
    };
}

// Reports what the statement throws, then throws it on as it was.
void GuardedPage::guarded(int line, const std::function<void()> &statement)
{
    if (!m_guard) {
        statement();
        return;
    }
    std::exception_ptr thrown;
    const auto keepingWhatIsThrown = [&] {
        try {
            statement();
        } catch (...) {
            thrown = std::current_exception();
            throw;
        }
    };
    m_guard->run(line, forRow(m_row, keepingWhatIsThrown, nullptr));
    if (thrown)
        std::rethrow_exception(thrown);
}

void GuardedPage::load(const QString &row)
{
    m_row = row;
    guarded(116, [&] { m_page.load(row); });
}

PageOutcome GuardedPage::takeOutcome()
{
    if (m_guard)
        m_guard->run(132, m_showBusy);
    PageOutcome outcome;
    guarded(134, [&] { outcome = m_page.takeOutcome(); });
    return outcome;
}
