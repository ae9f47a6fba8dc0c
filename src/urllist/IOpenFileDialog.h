#pragma once

#include <QString>

// The open-file dialog `CommonDialog1`, set up member by member before each showing.
class IOpenFileDialog
{
public:
    virtual ~IOpenFileDialog() = default;

    virtual QString FileName() const = 0;
    virtual void SetFileName(const QString &fileName) = 0;
    virtual quint32 Flags() const = 0;
    virtual void SetFlags(quint32 flags) = 0;
    virtual QString DialogTitle() const = 0;
    virtual void SetDialogTitle(const QString &title) = 0;
    // Pairs of description and pattern, separated by "|".
    virtual QString Filter() const = 0;
    virtual void SetFilter(const QString &filter) = 0;
    // Shows the dialog modally; afterwards FileName holds the choice, or stays empty.
    virtual void ShowOpen() = 0;
};
