#pragma once

#include "capture/RowChange.h"
#include "crawl/PageRecord.h"
#include "engine/PageOutcome.h"

#include <QByteArray>
#include <QString>

class CrawlState;
struct RowResult;

// Tells how each loaded row's text stands to the text its address had when it
// was last saved, by hashes of the texts (never by times alone), and what the
// state keeps of the row's page for the next run.
class ChangeTracker
{
public:
    struct Settings {
        bool ignoreWhitespace = false; // texts that differ only in whitespace are the same
        bool diff = false; // a changed row's diff is made
        bool changedOnly = false; // a same row's file is not written again
        bool keepText = true; // the text is kept for the next run's diff
        bool keepLinks = false; // the links are kept, to follow them when the page is not loaded again
    };

    ChangeTracker(CrawlState &state, const Settings &settings);

    // The change of a loaded row, whose entry is `id` with the `previous` record;
    // `file` is where its text goes, empty when it goes to no file.
    RowChange changeOf(qint64 id, const PageRecord &previous, const PageOutcome &outcome, const QString &file);
    // What the state keeps of a saved row's page.
    SavedPage savedPageOf(const PageRecord &previous, const RowResult &result) const;
    // Whether the file is there and holds the bytes the record says were written.
    static bool fileMatches(const QString &file, const PageRecord &record);

    static QByteArray sha256(const QString &text);
    // The text with every run of whitespace made one blank, and none at either end.
    static QString collapsed(const QString &text);

private:
    QString diffOf(qint64 id, const PageRecord &previous, const QString &text, const QString &file) const;

    CrawlState &m_state;
    Settings m_settings;
};
