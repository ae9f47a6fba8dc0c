#pragma once

#include <QString>

class IEventPump;
class IMessageBoxes;
class IOpenFileDialog;
class UrlListModel;

// "Load List Of URLs": appends every line of one chosen text file to the list.
class ListImport
{
public:
    ListImport(UrlListModel &list, IMessageBoxes &boxes, IOpenFileDialog &dialog, IEventPump *pump);

    // Asks for one list file and appends its lines.
    void chooseAndImport();

    static constexpr quint32 OpenFlags = 0x280001;
    static QString dialogTitle();
    static QString filter();

private:
    UrlListModel &m_list;
    IMessageBoxes &m_boxes;
    IOpenFileDialog &m_dialog;
    IEventPump *m_pump;
};

// Module FileToList: appends the file's lines to the list, serving pending
// events before every line; "File not found" when the path names no file.
void LoadFileToList(UrlListModel &list, const QString &path, IMessageBoxes &boxes, IEventPump *pump);
