#pragma once

#include <QString>

// The folder a batch run saves its files in: made with its parents when
// missing, before any row runs. A file that cannot be written fails its row.
namespace DestinationFolder {

// Why the folder cannot take the files, naming it with the system's reason
// ("cannot create folder /proc/x: No such file or directory"), or empty.
QString prepare(const QString &path);

} // namespace DestinationFolder
