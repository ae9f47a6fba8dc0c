#pragma once

#include <QString>

// What both programs say at the end of every run, and why a run does not start.
namespace RunMessages {

inline QString done()
{
    return QStringLiteral("Done.");
}
inline QString emptyList()
{
    return QStringLiteral("No files added.");
}
inline QString missingFolder()
{
    return QStringLiteral("Folder does not exist. Please select another folder.");
}

} // namespace RunMessages
