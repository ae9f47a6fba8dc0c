#pragma once

#include <functional>

class IMessageBoxes;
class UrlListModel;

// The list's editing commands: add one, add the samples, clear, remove selected.
class UrlListCommands
{
public:
    using BusyTest = std::function<bool()>;

    UrlListCommands(UrlListModel &list, IMessageBoxes &boxes, BusyTest isBusy);

    void PushButton1_Click(); // "Add One URL"
    void PushButton4_Click(); // "Load Sample/Example Sites"
    void PushButton7_Click(); // "Clear List"
    void ListView1_KeyDown(int keyCode, int shift);
    void ListView1_DblClick();

    static constexpr int KeyDelete = 46;

private:
    void removeSelected();

    UrlListModel &m_list;
    IMessageBoxes &m_boxes;
    BusyTest m_isBusy;
};
