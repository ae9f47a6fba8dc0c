#pragma once

#include "support/IFolderBrowser.h"

#include <functional>

class QFileDialog;
class QWidget;

// The folder browser as a Qt folder dialog, modal over its owner.
class QtFolderBrowser : public IFolderBrowser
{
public:
    // Answers the dialog instead of the user (tests); it gets the dialog as set up
    // and returns the chosen folder, or empty text for Cancel.
    using Responder = std::function<QString(QFileDialog &dialog)>;

    explicit QtFolderBrowser(QWidget *owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget *owner) { m_owner = owner; }
    QString BrowseForFolderPath(const QString &prompt, const QString &startPath) override;

    static void setResponder(Responder responder);
    // The path as returned: the root stays "/", other folders lose a trailing separator.
    static QString cleanPath(const QString &path);

private:
    QWidget *m_owner;
};
