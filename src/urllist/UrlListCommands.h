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

    // Asks for one address and appends it as typed.
    void addOne();
    void addSamples();
    // Empties the list unless a run is busy.
    void clear();
    // The Delete key removes the selected row.
    void keyPressed(int keyCode);
    // Removes the selected row unless a run is busy.
    void removeSelected();

    static constexpr int KeyDelete = 46;

private:
    UrlListModel &m_list;
    IMessageBoxes &m_boxes;
    BusyTest m_isBusy;
};
