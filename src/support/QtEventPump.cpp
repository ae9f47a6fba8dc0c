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
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_woken) {
        m_woken = false;
        return;
    }
    QEventLoop loop;
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    QObject::connect(&wakeUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    wakeUp.start(maxMilliseconds);
    QEventLoop *outer = m_waiting;
    m_waiting = &loop;
    loop.exec();
    m_waiting = outer;
    m_woken = false;
}

void QtEventPump::wake()
{
    if (m_waiting)
        m_waiting->quit();
    else
        m_woken = true;
}
