#include "process/ChromiumProcess.h"

#include "process/ChildProcesses.h"
#include "process/TerminationSignals.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <iterator>

namespace {

constexpr int ChildCommandFd = 3;
constexpr int ChildReplyFd = 4;
// The longest wait for the killed engine's processes to be gone, per try.
constexpr int GroupEndMs = 5'000;

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ChromiumProcess::ChromiumProcess(QObject *parent) : IEngineProcess(parent)
{
    // A write to an engine that just died must fail, not end this program.
    std::signal(SIGPIPE, SIG_IGN);
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (m_stopping)
            return;
        lost(status == QProcess::CrashExit ? QStringLiteral("it crashed") : QStringLiteral("exit status %1").arg(code));
    });
    connect(&m_memoryWatch, &RendererMemoryWatch::killed, this, &IEngineProcess::rendererKilled);
}

ChromiumProcess::~ChromiumProcess()
{
    stop();
}

bool ChromiumProcess::start(const QString &program, const QStringList &arguments, const QStringList &environment,
                            QString *error)
{
    stop();
    int commands[2];
    int replies[2];
    if (::pipe2(commands, O_CLOEXEC) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    if (::pipe2(replies, O_CLOEXEC) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        ::close(commands[0]);
        ::close(commands[1]);
        return false;
    }
    // The child's ends move above the descriptors they are given to in the child.
    int childIn = ::fcntl(commands[0], F_DUPFD_CLOEXEC, 10);
    int childOut = ::fcntl(replies[1], F_DUPFD_CLOEXEC, 10);
    ::close(commands[0]);
    ::close(replies[1]);
    m_commandFd = commands[1];
    m_replyFd = replies[0];

    m_process.setProgram(program);
    m_process.setArguments(arguments);
    QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        childEnvironment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    m_process.setProcessEnvironment(childEnvironment);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    const QString log = m_logFile.isEmpty() ? qEnvironmentVariable("TEXTORIN_ENGINE_LOG") : m_logFile;
    m_process.setStandardErrorFile(log.isEmpty() ? QProcess::nullDevice() : log, QIODevice::Append);
    m_process.setChildProcessModifier([childIn, childOut] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(childIn, ChildCommandFd);
        ::dup2(childOut, ChildReplyFd);
    });
    m_process.start();
    const bool started = m_process.waitForStarted(10'000);
    closeFd(childIn);
    closeFd(childOut);
    if (!started) {
        *error = m_process.errorString();
        closePipe();
        return false;
    }
    m_group = int(m_process.processId());
    TerminationSignals::addGroup(m_group);
    m_memoryWatch.start(m_group);
    ::fcntl(m_commandFd, F_SETFL, ::fcntl(m_commandFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_replyFd, F_SETFL, ::fcntl(m_replyFd, F_GETFL) | O_NONBLOCK);
    m_replyNotifier = new QSocketNotifier(m_replyFd, QSocketNotifier::Read, this);
    connect(m_replyNotifier, &QSocketNotifier::activated, this, &ChromiumProcess::readReplies);
    m_commandNotifier = new QSocketNotifier(m_commandFd, QSocketNotifier::Write, this);
    m_commandNotifier->setEnabled(false);
    connect(m_commandNotifier, &QSocketNotifier::activated, this, &ChromiumProcess::flush);
    return true;
}

bool ChromiumProcess::isRunning() const
{
    return m_replyFd >= 0 && m_process.state() == QProcess::Running;
}

void ChromiumProcess::write(const QByteArray &bytes)
{
    if (m_commandFd < 0)
        return;
    m_unsent.append(bytes);
    flush();
}

void ChromiumProcess::flush()
{
    while (!m_unsent.isEmpty() && m_commandFd >= 0) {
        const ssize_t written = ::write(m_commandFd, m_unsent.constData(), size_t(m_unsent.size()));
        if (written > 0) {
            m_unsent.remove(0, written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN) {
            m_commandNotifier->setEnabled(true);
            return;
        } else {
            lost(QStringLiteral("its pipe closed"));
            return;
        }
    }
    if (m_commandNotifier)
        m_commandNotifier->setEnabled(false);
}

void ChromiumProcess::readReplies()
{
    char buffer[65536];
    QByteArray received;
    for (;;) {
        const ssize_t count = ::read(m_replyFd, buffer, sizeof buffer);
        if (count > 0) {
            received.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        const bool closed = count == 0 || errno != EAGAIN;
        if (!received.isEmpty())
            Q_EMIT bytesReceived(received);
        if (closed && m_replyFd >= 0 && !m_stopping)
            lost(QStringLiteral("its pipe closed"));
        return;
    }
}

void ChromiumProcess::stop()
{
    if (m_group <= 0 && m_process.state() == QProcess::NotRunning && m_replyFd < 0)
        return;
    m_stopping = true;
    m_memoryWatch.stop();
    endGroup();
    m_process.waitForFinished(GroupEndMs);
    closePipe();
    m_stopping = false;
}

void ChromiumProcess::endGroup()
{
    if (m_group <= 0)
        return;
    // Helpers that left the group still count as the engine's while its leader
    // is this process's child; once it was reaped (its number may be another
    // process's now), the group is what is left of the engine.
    const QList<int> helpers =
        m_process.state() != QProcess::NotRunning ? ChildProcesses::descendants(m_group) : QList<int>();
    const auto alive = [this, &helpers] {
        QList<int> found = ChildProcesses::aliveInGroup(m_group);
        std::copy_if(helpers.cbegin(), helpers.cend(), std::back_inserter(found), ChildProcesses::isAlive);
        return found;
    };
    // The profile goes next: no process may still be writing into it (one that
    // is gone or only a zombie writes nothing any more).
    QList<int> left = helpers;
    for (int round = 0; round < 2; ++round) {
        ::kill(-m_group, SIGKILL);
        for (int pid : std::as_const(left))
            ::kill(pid, SIGKILL);
        const QDeadlineTimer deadline(GroupEndMs);
        while (!(left = alive()).isEmpty() && !deadline.hasExpired())
            ::usleep(10'000);
        if (left.isEmpty())
            break;
    }
    TerminationSignals::removeGroup(m_group);
    m_group = 0;
}

void ChromiumProcess::closePipe()
{
    // The notifiers may be signalling right now: they go once that is over.
    for (QSocketNotifier *notifier : {m_replyNotifier, m_commandNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_replyNotifier = nullptr;
    m_commandNotifier = nullptr;
    closeFd(m_commandFd);
    closeFd(m_replyFd);
    m_unsent.clear();
}

void ChromiumProcess::lost(const QString &reason)
{
    if (m_stopping)
        return;
    stop();
    Q_EMIT ended(reason);
}
