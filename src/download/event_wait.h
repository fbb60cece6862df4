#pragma once

#include <QObject>
#include <QTimer>

// Lets window events run from inside a download's wait without spinning a
// core: the thread sleeps until an event arrives (received serial data
// included, since the port's notifier is an event source of this thread) or a
// short bound passes. Hosts of a download use it for letEventsRun and
// waitForEvents.
class EventWait : public QObject
{
    Q_OBJECT

public:
    explicit EventWait(QObject *parent = nullptr);

    // Runs the pending events and returns.
    void letEventsRun();
    // Runs events, sleeping until at least one arrives or boundMs passes.
    void waitForEvents(int boundMs);

private:
    QTimer m_guard;
};
