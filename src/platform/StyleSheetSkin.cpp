#include "platform/StyleSheetSkin.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

bool StyleSheetSkin::loadSkin(const QString &path, const QString &)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    m_styleSheet = QString::fromUtf8(file.readAll());
    return true;
}

void StyleSheetSkin::applyWindow(quintptr windowHandle)
{
    if (m_styleSheet.isEmpty())
        return;
    // Application-wide, the sheet reaches the boxes and dialogs as well.
    if ((m_options & ApplyToApplication) && m_dialogs) {
        qApp->setStyleSheet(m_styleSheet);
        return;
    }
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (quintptr(widget->winId()) == windowHandle)
            widget->setStyleSheet(m_styleSheet);
    }
}
