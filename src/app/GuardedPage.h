#pragma once

#include "engine/IPage.h"
#include "support/ErrorGuard.h"

#include <functional>

// A window's page whose load and take run in the numbered steps of the run's
// error guard: a step that throws is reported with its line and the row's
// address, and then fails the row as it would without the guard.
class GuardedPage : public IPage
{
public:
    // `guard` is the run's, read at each step (none between runs);
    // `showBusy` runs as the step before each take.
    GuardedPage(IPage &page, ErrorGuard *const &guard, std::function<void()> showBusy);

    // Runs the statement with the row's address put before the description of
    // an error it throws; `failure`, when given, takes the first such description.
    static ErrorGuard::Statement forRow(const QString &url, const std::function<void()> &statement, QString *failure);

    void load(const QString &row) override;
    void loadBody(const QString &address, qint64 capBytes) override { m_page.loadBody(address, capBytes); }
    void abort() override { m_page.abort(); }
    bool isDone() const override { return m_page.isDone(); }
    PageOutcome takeOutcome() override;
    qint64 requestedAtMs() const override { return m_page.requestedAtMs(); }
    QString unavailableReason() const override { return m_page.unavailableReason(); }
    void setRedirectCheck(RedirectCheck check) override { m_page.setRedirectCheck(std::move(check)); }

private:
    void guarded(int line, const std::function<void()> &statement);

    IPage &m_page;
    ErrorGuard *const &m_guard;
    std::function<void()> m_showBusy;
    QString m_row;
};
