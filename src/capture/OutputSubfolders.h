#pragma once

#include <QString>

// The folders of an output name with folders ("host/a/b.txt"), made inside the
// destination folder one at a time, each opened without following a symbolic
// link: a link in their place is refused, never gone through.
class OutputSubfolders
{
public:
    // Makes the folders the name's file goes in; false with the reason when one
    // cannot be made or is no folder of its own.
    static bool make(const QString &folder, const QString &name, QString *failure);
};
