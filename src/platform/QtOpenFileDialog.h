#pragma once

#include "urllist/IOpenFileDialog.h"

#include <QStringList>

class QWidget;

// The open-file dialog as a Qt file dialog for one file, modal over its owner.
class QtOpenFileDialog : public IOpenFileDialog
{
public:
    explicit QtOpenFileDialog(QWidget *owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget *owner) { m_owner = owner; }
    QString chooseFile(const OpenFileRequest &request) override;

    // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*" as Qt name filters.
    static QStringList nameFilters(const QString &filter);

private:
    QWidget *m_owner;
};
