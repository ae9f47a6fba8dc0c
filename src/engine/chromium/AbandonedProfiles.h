#pragma once

#include <QString>

// Profile folders (see ProfileFolder) that no live program holds: those of
// programs that were killed before they could remove them.
namespace AbandonedProfiles {

// Removes this user's profile folders under `base` whose lock is free, and
// those without a lock file (made before locks were) untouched for an hour;
// the number removed.
int removeUnder(const QString &base);

} // namespace AbandonedProfiles
