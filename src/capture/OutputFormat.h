#pragma once

#include "capture/RowChange.h"
#include "engine/EngineOptions.h"
#include "engine/PageOutcome.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One kind of output file: its name on the command line, its extension, what the
// page is asked for and how the file's content is made from the row's outcome.
struct OutputFormat {
    QString name;
    QString extension; // with its dot
    EngineOptions::PageForm form = EngineOptions::PageForm::Text;
    QString description; // for --help
    // The file's content; `change` is the row's change when a state tracks it.
    std::function<QString(const QString &row, const PageOutcome &page, const RowChange &change)> compose;
    QStringList aliases = {}; // other names it is given by

    // The formats, the plain text first.
    static const QList<OutputFormat> &all();
    // The format of that name or alias, or null.
    static const OutputFormat *named(const QString &name);
    static const OutputFormat &text() { return all().front(); }
};
