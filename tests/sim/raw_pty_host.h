#pragma once

// A scripted host for the simulator tests: opens a serial device (the
// simulator's pseudo-terminal) with plain POSIX calls, raw, and reads and
// writes bytes with time limits.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class RawPtyHost
{
public:
    RawPtyHost() = default;
    ~RawPtyHost() { close(); }
    RawPtyHost(const RawPtyHost &) = delete;
    RawPtyHost &operator=(const RawPtyHost &) = delete;

    // With softwareFlowControl the device's driver honours XOFF/XON from the
    // target (IXON without IXANY), as the download program's port does.
    bool open(const QString &path, bool softwareFlowControl = false)
    {
        close();
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return false;
        termios settings{};
        if (tcgetattr(m_fd, &settings) != 0)
            return false;
        cfmakeraw(&settings);
        if (softwareFlowControl) {
            settings.c_iflag |= IXON;
            settings.c_iflag &= ~IXANY;
        }
        return tcsetattr(m_fd, TCSANOW, &settings) == 0;
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool isOpen() const { return m_fd >= 0; }

    bool write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        QElapsedTimer timer;
        timer.start();
        while (done < bytes.size() && timer.elapsed() < 2000) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            else
                waitFor(POLLOUT, 10);
        }
        return done == bytes.size();
    }

    // Reads while more(all that arrived so far) holds and timeoutMs has not
    // passed; returns all that arrived.
    template <typename More>
    QByteArray readWhile(More more, int timeoutMs)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (more(got)) {
            const qint64 left = timeoutMs - timer.elapsed();
            if (left <= 0)
                break;
            waitFor(POLLIN, int(left));
            got += readAvailable();
            if (m_hungUp)
                break;
        }
        return got;
    }

    // Reads until what arrived contains expected, or timeoutMs passed.
    QByteArray readUntil(const QByteArray &expected, int timeoutMs)
    {
        return readWhile([&expected](const QByteArray &got) { return !got.contains(expected); }, timeoutMs);
    }

    // Reads until count bytes arrived or timeoutMs passed.
    QByteArray readCount(int count, int timeoutMs)
    {
        return readWhile([count](const QByteArray &got) { return got.size() < count; }, timeoutMs);
    }

    // Everything that arrives within ms.
    QByteArray readFor(int ms) { return readUntil(QByteArray("\xff\xfe never", 8), ms); }

    // Waits for the first bytes to arrive and returns that first piece alone.
    QByteArray readFirstPiece(int timeoutMs)
    {
        waitFor(POLLIN, timeoutMs);
        return readAvailable();
    }

    // Whether the device reported a hang-up (the other side went away).
    bool hungUp()
    {
        waitFor(POLLIN, 0);
        return m_hungUp;
    }

private:
    void waitFor(short events, int timeoutMs)
    {
        pollfd fd{m_fd, events, 0};
        if (::poll(&fd, 1, timeoutMs) > 0 && (fd.revents & (POLLHUP | POLLERR)))
            m_hungUp = true;
    }

    QByteArray readAvailable()
    {
        QByteArray out;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                out.append(buffer, n);
                continue;
            }
            if (n < 0 && errno == EIO)
                m_hungUp = true;
            break;
        }
        return out;
    }

    int m_fd = -1;
    bool m_hungUp = false;
};
