#pragma once

#include "engine/PageValidators.h"

#include <QString>

// A row as a run's queue holds it between its source and its page.
struct QueuedRow {
    qint64 number = 0; // its place among the source's rows, from 1
    QString url; // the text as listed
    QString name; // its output file name, reserved in list order
    int depth = -1; // in a crawl, its link steps from a start address; else -1
    QString foundOn; // in a crawl, the address of the page that linked to it; empty for a start
    PageValidators validators = {}; // sent with its load, so that an unchanged page answers 304
    int rule = -1; // the site rule it loads by (RowRules), or -1
};
