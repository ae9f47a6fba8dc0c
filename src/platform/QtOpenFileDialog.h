#pragma once

#include "platform/FileDialogAnswer.h"
#include "urllist/IOpenFileDialog.h"

#include <QStringList>

class QWidget;

// The open-file dialog as a Qt file dialog for one file, modal over its owner.
class QtOpenFileDialog : public IOpenFileDialog
{
public:
    using Responder = FileDialogAnswer::Responder;

    explicit QtOpenFileDialog(QWidget *owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget *owner) { m_owner = owner; }
    QString FileName() const override { return m_fileName; }
    void SetFileName(const QString &fileName) override { m_fileName = fileName; }
    quint32 Flags() const override { return m_flags; }
    void SetFlags(quint32 flags) override { m_flags = flags; }
    QString DialogTitle() const override { return m_title; }
    void SetDialogTitle(const QString &title) override { m_title = title; }
    QString Filter() const override { return m_filter; }
    void SetFilter(const QString &filter) override { m_filter = filter; }
    void ShowOpen() override;

    // Answers the dialog instead of the user (tests).
    static void setResponder(Responder responder);
    // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*" as Qt name filters.
    static QStringList nameFilters(const QString &filter);

private:
    QWidget *m_owner;
    QString m_fileName;
    quint32 m_flags = 0;
    QString m_title;
    QString m_filter;
};
