#pragma once

#include <QString>
#include <QStringList>

// The folders of an output name with folders ("host/a/b.txt"), made inside the
// destination folder one at a time, each opened without following a symbolic
// link: a link in their place is refused, never gone through. The folders it
// made go again when the row fails.
class OutputSubfolders
{
public:
    OutputSubfolders(const QString &folder, const QString &name);

    // Makes the folders the name's file goes in; false with the reason when one
    // cannot be made or is no folder of its own.
    bool make(QString *failure);
    // Removes the folders make() made, deepest first, while they are empty;
    // folders that were there before are left alone.
    void removeMade();

private:
    QString m_folder;
    QStringList m_parts; // the folders, outermost first
    qsizetype m_firstMade = -1;
    qsizetype m_lastMade = -1;
};
