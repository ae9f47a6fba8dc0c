#include "batch/ClosedOutputWatch.h"

#include <poll.h>
#include <sys/stat.h>

ClosedOutputWatch::ClosedOutputWatch(int descriptor, std::function<void()> onClosed)
    : m_descriptor(descriptor), m_onClosed(std::move(onClosed))
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { check(); });
}

void ClosedOutputWatch::start(int intervalMs)
{
    struct stat status {};
    if (::fstat(m_descriptor, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
        return;
    m_timer.start(intervalMs);
}

bool ClosedOutputWatch::isClosed(int descriptor)
{
    // A pipe without reader polls as an error, a socket whose peer is gone as hung up.
    pollfd watched{descriptor, 0, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & (POLLERR | POLLHUP)) != 0;
}

bool ClosedOutputWatch::check()
{
    if (!isClosed(m_descriptor))
        return false;
    m_timer.stop();
    if (!m_handled && m_onClosed) {
        m_handled = true;
        m_onClosed();
    }
    return true;
}
