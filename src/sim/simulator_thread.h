#pragma once

#include "sim/memory_image.h"
#include "sim/pseudo_terminal.h"
#include "sim/sim_options.h"
#include "sim/simulated_target.h"
#include "sim/transcript.h"
#include "sim/wire_pacer.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The simulated target on a pseudo-terminal, run on a thread of its own, so
// that it keeps answering while the thread that drives the host blocks
// without running events. Every public function may be called from any
// thread.
class SimulatorThread
{
public:
    explicit SimulatorThread(const SimOptions &options = SimOptions());
    ~SimulatorThread();  // stops and joins
    SimulatorThread(const SimulatorThread &) = delete;
    SimulatorThread &operator=(const SimulatorThread &) = delete;

    // Creates the pseudo-terminal and starts the thread; returns once the
    // device exists. Fails with a reason when it cannot be created.
    bool start(QString *error);
    // Ends the thread and removes the device. Safe to call more than once.
    void stop();
    bool isRunning() const;

    // The device a host opens, e.g. /dev/pts/7.
    QString devicePath() const;
    SimOptions options() const;

    // Enters the bootloader and sends the active character (held back until
    // a host has the port open), like pressing the target's reset button.
    void reset();
    // Changes the faults from now on (record numbers count per download).
    void setFaults(const FaultOptions &faults);

    TargetStatus status() const;
    TargetState state() const;
    MemoryImage flash() const;
    MemoryImage eeprom() const;
    // The memories from address 0 to the highest byte written, gaps as 0xFF.
    QByteArray flashImage() const;
    QByteArray eepromImage() const;
    // Every byte read from and written to the line so far.
    QByteArray received() const;
    QByteArray sent() const;
    Transcript transcript() const;

    // Wait, up to timeoutMs, until the condition holds; true when it does.
    // The condition runs on the waiting thread with the simulator paused.
    bool waitUntil(const std::function<bool(const TargetStatus &)> &condition, int timeoutMs) const;
    bool waitForRecords(int count, int timeoutMs) const;  // records received in total
    bool waitForState(TargetState state, int timeoutMs) const;
    bool waitForHost(bool open, int timeoutMs) const;
    // Until the bytes sent so far contain these bytes.
    bool waitForSent(const QByteArray &bytes, int timeoutMs) const;

    // Writes the flash and EEPROM images and the transcript to the paths of
    // the output options (an empty path writes nothing).
    bool writeOutputs(QString *error) const;

private:
    struct Pending
    {
        qint64 deliverUs;
        TargetOutput output;
    };

    qint64 nowUs() const;
    void wake() const;
    void run();
    // One pass of the loop with the lock held; returns the poll timeout in ms.
    int step(bool *wantWrite);
    void deliverDue(qint64 now, bool *wantWrite);
    bool waitFor(const std::function<bool()> &condition, int timeoutMs) const;

    SimOptions m_options;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::thread m_thread;
    int m_wake[2] = {-1, -1};
    std::chrono::steady_clock::time_point m_origin;
    bool m_stopRequested = false;
    bool m_running = false;

    PseudoTerminal m_pty;
    QString m_devicePath;
    Transcript m_transcript;
    std::unique_ptr<SimulatedTarget> m_target;
    WirePacer m_pacer;
    QByteArray m_received;
    QByteArray m_sent;
    std::deque<std::pair<qint64, char>> m_incoming;  // bytes on the wire, with their arrival
    std::deque<Pending> m_outgoing;
    bool m_hostOpen = false;
    bool m_hostHeld = false;  // the host sent XOFF
};
