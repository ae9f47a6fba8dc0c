#include "process/TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

constexpr int MaxGroups = 16;
std::atomic<int> groups[MaxGroups];
int wakeFds[2] = {-1, -1};
std::function<void()> cleanUpAction;

void onSignal(int signal)
{
    for (auto &group : groups) {
        const int value = group.load();
        if (value > 0)
            ::kill(-value, SIGKILL);
    }
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (wakeFds[1] < 0 || ::write(wakeFds[1], &byte, 1) != 1) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

void endBySignal(int signal)
{
    if (cleanUpAction)
        cleanUpAction();
    // The shell's convention: 130 for SIGINT, 143 for SIGTERM.
    std::fflush(nullptr);
    _exit(128 + signal);
}

} // namespace

void TerminationSignals::install(std::function<void()> cleanUp)
{
    cleanUpAction = std::move(cleanUp);
    if (wakeFds[0] < 0 && ::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) == 0) {
        auto *notifier = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            unsigned char byte = 0;
            if (::read(wakeFds[0], &byte, 1) == 1)
                endBySignal(byte);
        });
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void TerminationSignals::addGroup(int processGroup)
{
    for (auto &group : groups) {
        int expected = 0;
        if (group.compare_exchange_strong(expected, processGroup))
            return;
    }
}

void TerminationSignals::removeGroup(int processGroup)
{
    for (auto &group : groups) {
        int expected = processGroup;
        group.compare_exchange_strong(expected, 0);
    }
}
