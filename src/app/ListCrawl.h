#pragma once

#include "capture/IRowSource.h"
#include "crawl/CrawlRows.h"
#include "crawl/CrawlState.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>

class UrlListModel;

// A crawl over the window's list: the rows of a run are its start addresses,
// and the pages it finds join the list as they are given. Its state lies in
// the folder, as a batch crawl's does, so that a run stopped goes on where it
// was and a run again tells what changed.
class ListCrawl
{
public:
    ListCrawl(UrlListModel &list, const CrawlRows::Settings &settings);
    ~ListCrawl();

    // Opens the folder's state with these rows (numbered from 1) as start
    // addresses; with `newPass` every page is loaded again (what changed is
    // told against the last pass), else a pass stopped goes on. One state per
    // folder, whatever the list: a state of other settings is begun anew. False
    // with the reason when it cannot be used.
    bool open(const QString &folder, const QList<int> &startRows, bool newPass, QString *error);

    // The next row, given to the queue as `number`; `listRow` takes the list's
    // row it is (a page found is appended). NotYet while rows loading may find
    // more, End once every link is followed.
    IRowSource::Next next(qint64 number, int *listRow);
    CrawlRows &rows() { return *m_rows; }
    // Commits the row's end (the queue's row `result.row`).
    void rowEnded(const RowResult &result);
    // At the run's end: a crawl that was not stopped and followed every link
    // ends its pass; the pages saved before that no page links to any more are
    // returned (gone), with their files named in the folder.
    QList<CrawlState::Entry> endPass(bool stopped);

    // Apart from a batch crawl's state, which a batch run in the folder keeps.
    static inline const QString StateName = QStringLiteral(".textorin-window.sqlite");

private:
    int listRowOf(const QString &address);

    UrlListModel &m_list;
    CrawlRows::Settings m_settings;
    std::unique_ptr<CrawlRows> m_rows;
    QString m_folder;
    QHash<QString, int> m_rowOfText; // the start rows, and the pages found, by their text
    bool m_linksLost = false; // a page failed otherwise than by being gone: its links were not followed
};
