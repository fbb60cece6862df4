#include "download/event_wait.h"

#include <QCoreApplication>

EventWait::EventWait(QObject *parent)
    : QObject(parent)
{
    m_guard.setSingleShot(true);
    m_guard.setTimerType(Qt::PreciseTimer);
}

void EventWait::letEventsRun()
{
    QCoreApplication::processEvents();
}

void EventWait::waitForEvents(int boundMs)
{
    // The guard's own timeout is an event: the sleep never outlasts the bound.
    m_guard.start(boundMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m_guard.stop();
}
