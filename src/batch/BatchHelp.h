#pragma once

#include "batch/BatchCommandLine.h"

#include <QList>
#include <QString>

#include <utility>

// textorin-batch's --help: the options of the command line's table with the
// prose around them, wrapped at 79 columns; and the manual's entries of the
// same options and exit statuses.
namespace BatchHelp {

// The whole text; `program` as the user called it.
QString text(const QString &program, const QList<BatchCommandLine::Option> &options);
// Each exit status with what it means, as the help's end lists them.
QList<std::pair<int, QString>> exitStatuses();
// Each output format with its help, as --format lists them.
QList<std::pair<QString, QString>> formatValues();

// The manual's entries, in roff, from the same table and texts: those of
// OPTIONS (each option with its values), and those of EXIT STATUS.
QString manualOptions(const QList<BatchCommandLine::Option> &options);
QString manualExitStatuses();

} // namespace BatchHelp
