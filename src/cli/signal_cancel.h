#pragma once

#include <QObject>

class QSocketNotifier;

// Ctrl-C (SIGINT) and SIGTERM as the Cancel button of the command line. The
// first signal is noted and wakes the event loop through a pipe (the only
// safe way out of a signal handler); the download stops at its next cancel
// point with the port closed and the file released. A second signal ends the
// program at once, by the signal's default action.
//
// One instance at a time; it restores the previous handlers when destroyed.
class SignalCancel : public QObject
{
    Q_OBJECT

public:
    explicit SignalCancel(QObject *parent = nullptr);
    ~SignalCancel() override;

    // True once SIGINT or SIGTERM has arrived.
    bool requested() const;
    // Readable once a signal has arrived: lets a blocking read of the terminal
    // wake up.
    int wakeDescriptor() const;

private:
    // The notifier wakes a download that sleeps in its event wait, so that it
    // looks at the request at once; the bytes themselves carry nothing.
    void drain();

    QSocketNotifier *m_notifier = nullptr;
};
