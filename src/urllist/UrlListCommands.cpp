#include "urllist/UrlListCommands.h"

#include "support/ErrorGuard.h"
#include "support/IMessageBoxes.h"
#include "support/OperationNames.h"
#include "urllist/SampleSites.h"
#include "urllist/UrlListModel.h"

#include <utility>

UrlListCommands::UrlListCommands(UrlListModel &list, IMessageBoxes &boxes, BusyTest isBusy)
    : m_list(list), m_boxes(boxes), m_isBusy(std::move(isBusy))
{}

void UrlListCommands::addOne()
{
    ErrorGuard guard(m_boxes, OperationNames::PushButton1_Click);
    QString answer;
    guard.run(100, [&] { answer = m_boxes.inputBox(QStringLiteral("Enter URL to add: ")); });
    if (guard.lineIf(102, [&] { return answer.isEmpty(); }))
        return;
    guard.run(104, [&] { m_list.append(answer); });
}

void UrlListCommands::addSamples()
{
    ErrorGuard guard(m_boxes, OperationNames::PushButton4_Click);
    guard.run(100, [&] { m_list.append(SampleSites::First); });
    guard.run(102, [&] { m_list.append(SampleSites::Second); });
}

void UrlListCommands::clear()
{
    ErrorGuard guard(m_boxes, OperationNames::PushButton7_Click);
    guard.run(100, [&] {
        if (!m_isBusy())
            m_list.clear();
    });
}

void UrlListCommands::keyPressed(int keyCode)
{
    if (keyCode == KeyDelete)
        removeSelected();
}

void UrlListCommands::removeSelected()
{
    if (m_isBusy() || m_list.count() == 0)
        return;
    const int row = m_list.selectedRow();
    if (row == 0)
        return;
    m_list.remove(row);
}
