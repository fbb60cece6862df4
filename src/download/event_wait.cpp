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
    // It is left running when another event ends the sleep earlier: a late
    // timeout only ends one later sleep early, while re-arming a timer on
    // every pass would cost more than the exchange of a line itself.
    if (!m_guard.isActive())
        m_guard.start(boundMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
