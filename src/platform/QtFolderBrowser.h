#pragma once

#include "support/IFolderBrowser.h"

class QWidget;

// The folder browser as a Qt folder dialog, modal over its owner.
class QtFolderBrowser : public IFolderBrowser
{
public:
    explicit QtFolderBrowser(QWidget *owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget *owner) { m_owner = owner; }
    QString browseForFolder(const QString &prompt, const QString &startPath) override;

    // The path as returned: the root stays "/", other folders lose a trailing separator.
    static QString cleanPath(const QString &path);

private:
    QWidget *m_owner;
};
