#pragma once

#include "engine/IBrowser.h"

#include <QHash>
#include <QStringList>
#include <functional>

// A browser whose pages complete after a set number of ready-state queries.
class FakeBrowser : public IBrowser
{
public:
    struct Page {
        QString text;
        int pollsUntilReady = 0; // queries answering "loading" before 4
        QString error;           // taking the text fails with this description
        int failingLoads = 0;    // with an error: only the first loads fail, and may pass
    };

    void navigate(const QString &url) override;
    int readyState() const override;
    QString bodyInnerText() override;
    bool failureMayPass() const override;

    QHash<QString, Page> pages;
    QStringList navigated;
    // Runs during each ready-state query (to act while the run waits).
    std::function<void(const QString &url, int query)> onPoll;
    bool failNavigate = false;

private:
    QString m_current;
    mutable int m_queries = 0;
    bool failing() const;
};
