#pragma once

#include "capture/IRowOutput.h"

#include <QString>

#include <functional>

// The rows' files in one folder: the folders of a name with folders
// ("host/a/b.txt") are made first and go again when the row's file cannot be
// written; each file is written whole by OutputFileWriter.
class FolderOutput : public IRowOutput
{
public:
    explicit FolderOutput(QString folder = {}) : m_folder(std::move(folder)) {}

    // Paths no row's file may replace (a run's own files).
    using Kept = std::function<bool(const QString &path)>;
    void setKept(Kept kept) { m_kept = std::move(kept); }

    QString pathOf(const QueuedRow &row) const override;
    qint64 write(const QueuedRow &row, const QString &path, const QString &text, QString *failure) override;

protected:
    // The folder, read as each row is written.
    virtual QString folder() const { return m_folder; }
    // Writes the file; false with the first failure's reason.
    virtual bool writeFile(const QueuedRow &row, const QString &path, const QString &text, QString *failure);

private:
    QString m_folder;
    Kept m_kept;
};
