#pragma once

#include "support/IEventPump.h"

class QEventLoop;

// The event pump of the running Qt application.
class QtEventPump : public IEventPump
{
public:
    void processPendingEvents() override;
    // Sleeps in an event loop until the time is up or `wake` is called; the
    // events handled meanwhile (repaints, input) do not end the wait.
    void waitForEvents(int maxMilliseconds) override;
    // Ends the current wait early (something the waiter looks at has changed).
    void wake() override;

private:
    QEventLoop *m_waiting = nullptr;
    bool m_woken = false;
};
