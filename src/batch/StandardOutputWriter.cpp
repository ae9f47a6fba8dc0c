#include "batch/StandardOutputWriter.h"

#include "batch/BatchRowSource.h"
#include "batch/OrderedOutput.h"
#include "batch/ProgressLine.h"
#include "batch/TerminalText.h"
#include "capture/OutputFile.h"
#include "capture/OutputFormat.h"

#include <QJsonDocument>

#include <utility>

StandardOutputWriter::StandardOutputWriter(OrderedOutput &texts, const OutputFormat &format,
                                           const BatchRowSource &source, QString folder)
    : m_texts(texts), m_format(format), m_source(source), m_folder(std::move(folder))
{}

QString StandardOutputWriter::pathOf(const QueuedRow &row) const
{
    return MakeOutputPath(m_folder, row.name);
}

qint64 StandardOutputWriter::write(const QueuedRow &row, const QString &, const QString &text, QString *)
{
    QByteArray bytes = m_format.name == QLatin1String("json")
        ? QJsonDocument::fromJson(text.toUtf8()).toJson(QJsonDocument::Compact) + '\n'
        : text.toUtf8();
    const qint64 size = bytes.size();
    pass({row.number, TerminalText::address(row.url), std::move(bytes)});
    return size;
}

void StandardOutputWriter::passOver(const QueuedRow &row)
{
    pass({row.number, TerminalText::address(row.url), std::nullopt});
}

// Heads go with more than one row: known once two are read, or the rows end.
bool StandardOutputWriter::chooseHeads(bool atEnd)
{
    if (m_headsChosen)
        return true;
    if (!atEnd && m_source.rowsGiven() <= 1 && !m_source.ended())
        return false;
    m_texts.setHeads(m_format.name != QLatin1String("json") && m_source.rowsGiven() > 1);
    m_headsChosen = true;
    return true;
}

void StandardOutputWriter::pass(Ended ended)
{
    if (m_progress)
        m_progress->hideForOut();
    m_early.push_back(std::move(ended));
    if (!chooseHeads(false))
        return;
    for (const Ended &row : m_early) {
        if (!m_texts.finished(row.row, row.address, row.text))
            m_failed = true;
    }
    m_early.clear();
}

bool StandardOutputWriter::flush()
{
    chooseHeads(true);
    bool ok = true;
    for (const Ended &row : m_early)
        ok = m_texts.finished(row.row, row.address, row.text) && ok;
    m_early.clear();
    return m_texts.flush() && ok;
}

QString StandardOutputWriter::errorString() const
{
    return m_texts.errorString();
}
