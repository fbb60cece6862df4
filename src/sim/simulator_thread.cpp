#include "sim/simulator_thread.h"

#include "sim/escaped_text.h"

#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr char Xoff = 0x13;
constexpr char Xon = 0x11;
// How often to look whether a host has opened the port; a pseudo-terminal
// master cannot wait for that, it only reports the hang-up while no one has.
constexpr int HostPollMs = 10;

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    if (path.isEmpty())
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

SimulatorThread::SimulatorThread(const SimOptions &options)
    : m_options(options), m_pacer(options.baudRate)
{
}

SimulatorThread::~SimulatorThread()
{
    stop();
}

qint64 SimulatorThread::nowUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now()
                                                                 - m_origin)
        .count();
}

void SimulatorThread::wake() const
{
    // Called with the lock held, so stop() cannot close the pipe meanwhile.
    if (m_wake[1] >= 0) {
        const char byte = 1;
        // A full pipe already holds a wake-up; nothing is lost.
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
    }
}

bool SimulatorThread::start(QString *error)
{
    std::lock_guard lock(m_mutex);
    if (m_running || m_thread.joinable()) {
        *error = QStringLiteral("the simulator is already started");
        return false;
    }
    if (pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        *error = QStringLiteral("cannot create a pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!m_pty.open(error)) {
        ::close(m_wake[0]);
        ::close(m_wake[1]);
        m_wake[0] = m_wake[1] = -1;
        return false;
    }
    m_devicePath = m_pty.devicePath();
    m_origin = std::chrono::steady_clock::now();
    m_transcript.add(0, TranscriptEntry::Kind::Note, "simulated target on " + m_devicePath.toUtf8());
    m_target = std::make_unique<SimulatedTarget>(m_options, 0, &m_transcript);
    m_stopRequested = false;
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void SimulatorThread::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
        wake();
    }
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    m_running = false;
    m_pty.close();
    for (int &fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    m_changed.notify_all();
}

bool SimulatorThread::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

QString SimulatorThread::devicePath() const
{
    std::lock_guard lock(m_mutex);
    return m_devicePath;
}

SimOptions SimulatorThread::options() const
{
    std::lock_guard lock(m_mutex);
    return m_options;
}

void SimulatorThread::reset()
{
    std::lock_guard lock(m_mutex);
    if (!m_target)
        return;
    m_target->reset(nowUs());
    wake();
}

void SimulatorThread::setFaults(const FaultOptions &faults)
{
    std::lock_guard lock(m_mutex);
    m_options.faults = faults;
    if (m_target)
        m_target->setFaults(faults);
}

TargetStatus SimulatorThread::status() const
{
    std::lock_guard lock(m_mutex);
    return m_target ? m_target->status() : TargetStatus();
}

TargetState SimulatorThread::state() const
{
    return status().state;
}

MemoryImage SimulatorThread::flash() const
{
    std::lock_guard lock(m_mutex);
    return m_target ? m_target->flash() : MemoryImage(m_options.flashSize);
}

MemoryImage SimulatorThread::eeprom() const
{
    std::lock_guard lock(m_mutex);
    return m_target ? m_target->eeprom() : MemoryImage(m_options.eepromSize);
}

QByteArray SimulatorThread::flashImage() const
{
    return flash().bytes();
}

QByteArray SimulatorThread::eepromImage() const
{
    return eeprom().bytes();
}

QByteArray SimulatorThread::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

QByteArray SimulatorThread::sent() const
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

Transcript SimulatorThread::transcript() const
{
    std::lock_guard lock(m_mutex);
    return m_transcript;
}

bool SimulatorThread::waitFor(const std::function<bool()> &condition, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), condition);
}

bool SimulatorThread::waitUntil(const std::function<bool(const TargetStatus &)> &condition,
                                int timeoutMs) const
{
    return waitFor([&] { return m_target && condition(m_target->status()); }, timeoutMs);
}

bool SimulatorThread::waitForRecords(int count, int timeoutMs) const
{
    return waitUntil([count](const TargetStatus &s) { return s.recordsReceived >= count; }, timeoutMs);
}

bool SimulatorThread::waitForState(TargetState state, int timeoutMs) const
{
    return waitUntil([state](const TargetStatus &s) { return s.state == state; }, timeoutMs);
}

bool SimulatorThread::waitForHost(bool open, int timeoutMs) const
{
    return waitFor([&] { return m_hostOpen == open; }, timeoutMs);
}

bool SimulatorThread::waitForSent(const QByteArray &bytes, int timeoutMs) const
{
    return waitFor([&] { return m_sent.contains(bytes); }, timeoutMs);
}

bool SimulatorThread::writeOutputs(QString *error) const
{
    MemoryImage flash;
    MemoryImage eeprom;
    Transcript transcript;
    OutputOptions output;
    {
        std::lock_guard lock(m_mutex);
        output = m_options.output;
        if (m_target) {
            flash = m_target->flash();
            eeprom = m_target->eeprom();
        }
        transcript = m_transcript;
    }
    const bool hex = output.format == OutputOptions::ImageFormat::IntelHex;
    return writeFile(output.flashPath, hex ? flash.toIntelHex() : flash.bytes(), error)
        && writeFile(output.eepromPath, hex ? eeprom.toIntelHex() : eeprom.bytes(), error)
        && writeFile(output.transcriptPath, transcript.toText(), error);
}

void SimulatorThread::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopRequested) {
        bool wantWrite = false;
        const int timeoutMs = step(&wantWrite);
        m_changed.notify_all();

        pollfd fds[2];
        nfds_t count = 0;
        fds[count++] = pollfd{m_wake[0], POLLIN, 0};
        if (m_pty.isOpen() && m_hostOpen)
            fds[count++] = pollfd{m_pty.masterFd(), short(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
        lock.unlock();
        poll(fds, count, timeoutMs);
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wake[0], drain, sizeof drain) > 0) {
            }
        }
        lock.lock();
    }
}

int SimulatorThread::step(bool *wantWrite)
{
    const qint64 now = nowUs();

    if (m_pty.isOpen()) {
        // A host that opened the port is noted before what it wrote, and one
        // that closed it only after what it wrote before closing.
        const bool open = m_pty.hostConnected();
        if (open && !m_hostOpen) {
            m_hostOpen = true;
            m_hostHeld = false;
            m_target->hostOpened(now);
        }
        const QByteArray in = m_pty.readAvailable();
        if (!in.isEmpty()) {
            m_received += in;
            m_transcript.add(now, TranscriptEntry::Kind::Received, in);
            for (char byte : in) {
                // The host's own flow control: it pauses what the target sends.
                if (byte == Xoff)
                    m_hostHeld = true;
                else if (byte == Xon)
                    m_hostHeld = false;
                else
                    m_incoming.emplace_back(m_pacer.arrival(now), byte);
            }
        }
        if (!open && m_hostOpen) {
            m_hostOpen = false;
            m_hostHeld = false;
            m_target->hostClosed(now);
        }
    }

    while (!m_incoming.empty() && m_incoming.front().first <= now) {
        m_target->receive(m_incoming.front().second, m_incoming.front().first);
        m_incoming.pop_front();
    }
    m_target->advance(now);

    for (TargetOutput &output : m_target->takeOutputs()) {
        const qint64 at = output.kind == TargetOutput::Kind::Send
                              ? m_pacer.departure(output.dueUs, output.bytes.size())
                              : std::max(output.dueUs, m_outgoing.empty() ? 0 : m_outgoing.back().deliverUs);
        m_outgoing.push_back(Pending{at, std::move(output)});
    }
    deliverDue(now, wantWrite);

    // Sleep until the next thing is due.
    qint64 next = -1;
    auto consider = [&next](qint64 t) {
        if (t >= 0 && (next < 0 || t < next))
            next = t;
    };
    if (!m_incoming.empty())
        consider(m_incoming.front().first);
    consider(m_target->nextDeadlineUs());
    const bool blocked = !m_outgoing.empty()
                         && ((m_hostOpen && m_hostHeld)
                             || (!m_hostOpen && m_outgoing.front().output.keepUntilHostOpens));
    if (!m_outgoing.empty() && !blocked && !*wantWrite)
        consider(m_outgoing.front().deliverUs);
    int timeoutMs = -1;
    if (next >= 0)
        timeoutMs = int(std::clamp<qint64>((next - now + 999) / 1000, 0, 60000));
    if (m_pty.isOpen() && !m_hostOpen)
        timeoutMs = timeoutMs < 0 ? HostPollMs : std::min(timeoutMs, HostPollMs);
    return timeoutMs;
}

void SimulatorThread::deliverDue(qint64 now, bool *wantWrite)
{
    while (!m_outgoing.empty() && m_outgoing.front().deliverUs <= now) {
        Pending &pending = m_outgoing.front();
        if (pending.output.kind == TargetOutput::Kind::Vanish) {
            m_transcript.add(now, TranscriptEntry::Kind::Note, "the device is gone");
            m_pty.close();
            m_hostOpen = false;
            m_outgoing.clear();
            m_incoming.clear();
            return;
        }
        if (!m_pty.isOpen())
            return;
        if (!m_hostOpen) {
            if (pending.output.keepUntilHostOpens)
                return;  // goes out when a host opens the port
            m_transcript.add(now, TranscriptEntry::Kind::Note,
                             "no host, lost: \"" + escapedText(pending.output.bytes) + '"');
            m_outgoing.pop_front();
            continue;
        }
        if (m_hostHeld)
            return;
        const qint64 n = m_pty.write(pending.output.bytes);
        if (n < 0) {
            m_transcript.add(now, TranscriptEntry::Kind::Note,
                             "write failed: " + QByteArray(std::strerror(errno)));
            m_outgoing.pop_front();
            continue;
        }
        if (n > 0) {
            const QByteArray written = pending.output.bytes.left(n);
            m_sent += written;
            m_transcript.add(now, TranscriptEntry::Kind::Sent, written);
        }
        if (n < pending.output.bytes.size()) {
            pending.output.bytes.remove(0, n);
            *wantWrite = true;
            return;
        }
        m_outgoing.pop_front();
    }
}
