#pragma once

#include <QTimer>

#include <functional>

// Notices that nobody reads standard output any more (the reader of its pipe
// or socket is gone, as after `| head -1`), a few times a second and when
// asked after a failed write, and then runs the handler once.
class ClosedOutputWatch
{
public:
    explicit ClosedOutputWatch(int descriptor, std::function<void()> onClosed);

    // Looks every `intervalMs` while the event loop runs; only a pipe or socket can close.
    void start(int intervalMs = 200);
    // Runs the handler when the output is closed; true if it is.
    bool check();
    // Whether the descriptor is a pipe or socket whose reader is gone.
    static bool isClosed(int descriptor);

private:
    int m_descriptor;
    std::function<void()> m_onClosed;
    bool m_handled = false;
    QTimer m_timer;
};
