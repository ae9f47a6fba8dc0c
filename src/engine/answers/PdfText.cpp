#include "engine/answers/PdfText.h"

#include <QProcess>
#include <QSet>

#include <sys/prctl.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>

namespace {

// The most of the tool's messages kept, and shown.
constexpr qsizetype MostErrorBytes = 64 * 1024;
constexpr qsizetype MostReasonChars = 300;

// How long before the row's limit the tool's ends: a second, or half the time left.
constexpr qint64 RowMarginMs = 1000;

int toolTimeMs(const PdfText::Limits &limits)
{
    if (limits.rowDeadline.isForever())
        return limits.timeMs;
    const qint64 left = limits.rowDeadline.remainingTime();
    return int(std::clamp<qint64>(left - qMin(RowMarginMs, left / 2), 1, limits.timeMs));
}

void limitResource(int resource, rlim_t limit)
{
    const rlimit value{limit, limit};
    setrlimit(resource, &value);
}

} // namespace

PdfText::PdfText(const QString &program, QObject *parent) : QObject(parent), m_program(program)
{
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, &PdfText::onTimeLimit);
}

PdfText::~PdfText()
{
    stop();
}

void PdfText::start(const QByteArray &pdf, const Limits &limits)
{
    stop();
    m_limits = limits;
    m_limits.timeMs = toolTimeMs(limits);
    m_process = std::make_unique<QProcess>();
    QProcess &process = *m_process;
    const rlim_t memory = limits.memoryBytes > 0 ? rlim_t(limits.memoryBytes) : RLIM_INFINITY;
    const rlim_t cpuSeconds = rlim_t(m_limits.timeMs / 1000 + 2);
    // Runs in the child between fork and exec: async-signal-safe calls only. The
    // CPU limit and the parent's death end it even if this program is killed.
    process.setChildProcessModifier([memory, cpuSeconds] {
        limitResource(RLIMIT_AS, memory);
        limitResource(RLIMIT_CPU, cpuSeconds);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    connect(&process, &QProcess::readyReadStandardOutput, this, &PdfText::onOutput);
    connect(&process, &QProcess::readyReadStandardError, this, [this] {
        m_errors += m_process->readAllStandardError();
        m_errors.truncate(MostErrorBytes);
    });
    connect(&process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { onFinished(exitCode, status == QProcess::CrashExit); });
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        const QString reason = m_process->errorString();
        end();
        Q_EMIT failed(QStringLiteral("the PDF's text could not be read: %1 could not be started (%2); "
                                     "it is in the Debian package poppler-utils")
                          .arg(m_program, reason));
    });
    m_timeLimit.start(m_limits.timeMs);
    process.start(m_program,
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-"), QStringLiteral("-")});
    process.write(pdf);
    process.closeWriteChannel();
}

void PdfText::stop()
{
    m_timeLimit.stop();
    if (m_process) {
        m_process->disconnect(this);
        // Killed and awaited: nothing of it outlives the row.
        m_process->kill();
        m_process->waitForFinished(1000);
        m_process.reset();
    }
    m_text.clear();
    m_errors.clear();
}

void PdfText::end()
{
    // The process object may be in its own signal: it goes once control returns.
    m_timeLimit.stop();
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        QProcess *process = m_process.release();
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        if (process->state() == QProcess::NotRunning)
            process->deleteLater();
    }
}

void PdfText::onOutput()
{
    m_text += m_process->readAllStandardOutput();
    // UTF-8 takes at most four bytes a character: past that, the text is too large however it decodes.
    if (m_text.size() > 4 * m_limits.textChars) {
        end();
        m_text.clear();
        Q_EMIT tooLarge();
    }
}

void PdfText::onFinished(int exitCode, bool crashed)
{
    m_text += m_process->readAllStandardOutput();
    m_errors += m_process->readAllStandardError();
    end();
    if (crashed || exitCode != 0) {
        const QString message = toolMessage();
        Q_EMIT failed(QStringLiteral("the PDF's text could not be read (%1)")
                          .arg(message.isEmpty() ? crashed ? QStringLiteral("pdftotext crashed")
                                                           : QStringLiteral("pdftotext exit status %1").arg(exitCode)
                                                 : message));
        return;
    }
    const QString text = QString::fromUtf8(m_text);
    m_text.clear();
    if (text.size() > m_limits.textChars)
        Q_EMIT tooLarge();
    else
        Q_EMIT done(text);
}

void PdfText::onTimeLimit()
{
    end();
    Q_EMIT failed(QStringLiteral("the PDF's text could not be read (pdftotext took longer than %1 s)")
                      .arg(qMax(1, m_limits.timeMs / 1000)));
}

QString PdfText::toolMessage() const
{
    // Its distinct lines on one, the errors alone when there are any besides warnings.
    QStringList lines;
    QStringList errors;
    for (const QString &line : QString::fromUtf8(m_errors).split(QLatin1Char('\n'))) {
        const QString simple = line.simplified();
        if (simple.isEmpty() || lines.contains(simple))
            continue;
        lines.append(simple);
        if (!simple.contains(QLatin1String("Warning")))
            errors.append(simple);
    }
    QString message = (errors.isEmpty() ? lines : errors).join(QLatin1String("; "));
    if (message.size() > MostReasonChars)
        message = message.left(MostReasonChars) + QStringLiteral("…");
    return message;
}
