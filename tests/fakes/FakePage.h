#pragma once

#include "engine/IPage.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>

#include <functional>

// A page whose rows are done after a set number of queries.
class FakePage : public IPage
{
public:
    struct Row {
        QString text;
        int pollsUntilReady = 0; // queries answering "loading" before done
        QString error; // the row fails with this reason
        int failingLoads = 0; // with an error: only the first loads fail, and may pass
        bool lostToRestart = false; // with an error: the page was lost to another's restart
        bool notModified = false; // loaded with validators, it answers 304
    };

    void load(const QString &url) override;
    void loadIfChanged(const QString &url, const PageValidators &validators) override;
    void abort() override;
    bool isDone() const override;
    PageOutcome takeOutcome() override;
    qint64 requestedAtMs() const override;

    QHash<QString, Row> rows; // how each row answers
    QStringList navigated;
    QStringList aborted;
    QHash<QString, PageValidators> validatorsSent;
    // Runs during each query (to act while the run waits).
    std::function<void(const QString &url, int query)> onPoll;
    bool failNavigate = false;
    // How long after a load its document request leaves; -1: never told.
    int requestLagMs = -1;

private:
    QString m_current;
    bool m_conditional = false;
    qint64 m_loadedAtMs = 0;
    mutable int m_queries = 0;
    bool failing() const;
};
