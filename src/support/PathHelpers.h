#pragma once

#include <QString>

// Small path helpers. None of them shows anything; the first two answer no
// instead of failing.

// True when the path's last-modification time can be read (files and folders).
bool FileExists(const QString &path);
// True only when the path names an existing folder.
bool IsFolder(const QString &path);
// The part of the text after its last backslash, or the whole text.
QString FileNameOfPath(const QString &path);
// The path of a special folder (0 = the desktop), or empty text when unknown.
QString GetSpecialFolderText(int folderId);
// The desktop folder followed by one separator; raises error 5 when unknown.
QString DesktopFolderPath();

inline constexpr int DesktopFolderId = 0;
