#pragma once

#include "support/IEventPump.h"

// The event pump of the running Qt application.
class QtEventPump : public IEventPump
{
public:
    void processPendingEvents() override;
    void waitForEvents(int maxMilliseconds) override;
};
