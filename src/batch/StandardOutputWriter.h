#pragma once

#include "capture/IRowOutput.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class BatchRowSource;
class OrderedOutput;
class ProgressLine;
struct OutputFormat;

// The texts of -O -: each row's text goes to standard output in list order
// (OrderedOutput), a JSON record as one line. Texts get heads when the run has
// more than one row, which is known once a second row is read or the rows end;
// the rows that end before then are held.
class StandardOutputWriter : public IRowOutput
{
public:
    // `folder` names the files the rows would have (the archive records them).
    StandardOutputWriter(OrderedOutput &texts, const OutputFormat &format, const BatchRowSource &source,
                         QString folder);

    // Hidden before the texts reach the terminal; none by default.
    void setProgressLine(ProgressLine *progress) { m_progress = progress; }

    QString pathOf(const QueuedRow &row) const override;
    bool writesFiles() const override { return false; }
    qint64 write(const QueuedRow &row, const QString &path, const QString &text, QString *failure) override;
    void passOver(const QueuedRow &row) override;
    // Writes what is still held, past the rows that never ended; false on a failed write.
    bool flush();
    // Whether a write failed since the last call; the reason is errorString().
    bool takeFailure() { return std::exchange(m_failed, false); }
    QString errorString() const;

private:
    struct Ended {
        qint64 row = 0;
        QString address;
        std::optional<QByteArray> text;
    };
    void pass(Ended ended);
    bool chooseHeads(bool atEnd);

    OrderedOutput &m_texts;
    const OutputFormat &m_format;
    const BatchRowSource &m_source;
    QString m_folder;
    ProgressLine *m_progress = nullptr;
    bool m_headsChosen = false;
    std::vector<Ended> m_early; // rows ended before the heads were chosen
    bool m_failed = false;
};
