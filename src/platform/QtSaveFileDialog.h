#pragma once

#include <QString>

class QWidget;

// The save-file dialog as a Qt file dialog, modal over its owner: it asks
// before replacing a file.
class QtSaveFileDialog
{
public:
    explicit QtSaveFileDialog(QWidget *owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget *owner) { m_owner = owner; }
    // The chosen path, or empty text for Cancel; `startPath` names the folder and the file proposed.
    QString chooseFile(const QString &caption, const QString &startPath);

private:
    QWidget *m_owner;
};
