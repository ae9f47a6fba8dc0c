#include "app/StartUp.h"

#include "app/IFormView.h"
#include "support/ApplicationTitle.h"
#include "support/ErrorGuard.h"
#include "support/OperationNames.h"
#include "urllist/UrlListModel.h"

StartUp::StartUp(IFormView &view, UrlListModel &list, const FormServices &services)
    : m_view(view), m_list(list), m_services(services)
{
}

QString StartUp::columnHeaderText()
{
    return QStringLiteral(" Web Site(s)");
}

void StartUp::Form_Load()
{
    ErrorGuard guard(*m_services.boxes, OperationNames::Form_Load);
    guard.run(128, [&] { m_view.setCaption(ApplicationTitle::productDisplayName()); });
    guard.run([&] {
        ApplicationTitle::set(ApplicationTitle::derive(ApplicationTitle::productDisplayName()));
    });
    guard.run(132, [&] { m_list.addColumnHeader(columnHeaderText()); });
    guard.run(134, [&] { m_list.setColumnWidth(1, ColumnWidthTwips); });
}
