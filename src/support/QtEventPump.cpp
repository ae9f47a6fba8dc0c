#include "support/QtEventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void QtEventPump::processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::waitForEvents(int maxMilliseconds)
{
    QCoreApplication::sendPostedEvents();
    QEventLoop loop;
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    QObject::connect(&wakeUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    wakeUp.start(maxMilliseconds);
    // One pass that blocks until something arrives (the timer at the latest).
    loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
