#pragma once

#include "capture/RowChange.h"
#include "engine/PageOutcome.h"

#include <QByteArray>
#include <QString>

// How one row of a run ended, as its front end is told.
struct RowResult {
    // Stopped: the row was loading when the run was stopped at once; no file,
    // and the row is not done (a run that continues loads it again).
    enum class Outcome { Saved, Failed, Skipped, Stopped };

    qint64 row = 0;
    QString url;
    int depth = -1; // in a crawl (QueuedRow::depth)
    QString foundOn;
    Outcome outcome = Outcome::Failed;
    QString outputPath; // the file written (or, for a skipped row, the one it would have)
    qint64 bytes = -1; // written, of a saved row
    QString note; // remarks on a saved row ("load incomplete", numbered)
    QString reason; // why the row failed or was skipped
    PageOutcome page; // what the page answered (status, content type, …)
    int tries = 0; // loads of the row
    qint64 ms = 0; // from its first load to its end
    RowChange change; // to its address's text of an earlier run, when a state keeps it
    QByteArray writtenSha256; // of the bytes written, when the change is tracked
    QString rule; // the pattern of the site rule it loaded by, or empty

    bool saved() const { return outcome == Outcome::Saved; }
};
