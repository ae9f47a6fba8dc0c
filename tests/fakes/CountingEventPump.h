#pragma once

#include "support/IEventPump.h"

#include <functional>

// Counts the passes a long operation makes and can act during them.
class CountingEventPump : public IEventPump
{
public:
    void processPendingEvents() override
    {
        ++pending;
        if (onPass)
            onPass();
    }
    void waitForEvents(int maxMilliseconds) override
    {
        ++waits;
        lastSlice = maxMilliseconds;
        if (onPass)
            onPass();
    }

    int pending = 0;
    int waits = 0;
    int lastSlice = 0;
    std::function<void()> onPass;
};
