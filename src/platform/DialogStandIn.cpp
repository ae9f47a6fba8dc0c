#include "platform/DialogStandIn.h"

#include <QFileDialog>

namespace {

DialogStandIn::Responder &responder()
{
    static DialogStandIn::Responder instance;
    return instance;
}

} // namespace

void DialogStandIn::set(Responder value)
{
    responder() = std::move(value);
}

bool DialogStandIn::isSet()
{
    return bool(responder());
}

QString DialogStandIn::answer(const Request &request)
{
    return responder() ? responder()(request) : QString();
}

QString DialogStandIn::askFile(Kind kind, QFileDialog &dialog)
{
    if (isSet())
        return answer({kind, dialog.windowTitle(), QString(), &dialog, {}, {}});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}
