#pragma once

// Lets pending events run while a long operation waits on the one thread.
class IEventPump
{
public:
    virtual ~IEventPump() = default;

    // Handles every event already waiting, then returns.
    virtual void processPendingEvents() = 0;
    // Handles pending events; when none is pending, sleeps until one arrives
    // or `maxMilliseconds` have passed.
    virtual void waitForEvents(int maxMilliseconds) = 0;
    // Ends the current wait early: something the waiter looks at has changed.
    virtual void wake() {}
};
