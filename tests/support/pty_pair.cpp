#include "pty_pair.h"

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The kernel's termios2, which carries the exact rate even where it is not
// one of the B-constants (14400, 56000). glibc's termios hides it, and the
// kernel's header clashes with glibc's, so the layout is written out here.
struct KernelTermios2
{
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyPair::PtyPair()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        m_error = systemError("posix_openpt");
        return;
    }
    char name[128];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || ::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = systemError("grantpt/unlockpt/ptsname");
        closeMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // The terminal settings held through the master are the slave's: raw, so
    // that nothing is echoed or translated before the program opens the slave
    // and after it closes it again.
    termios tio;
    if (::tcgetattr(m_master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && elapsed.elapsed() < 5000) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 50);
        } else {
            return false;
        }
    }
    return m_master >= 0;
}

QByteArray PtyPair::read(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_master >= 0 && got.size() < count) {
        const qint64 left = timeoutMs - elapsed.elapsed();
        if (left <= 0)
            break;
        pollfd p{m_master, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        if (!(p.revents & POLLIN)) {
            // The slave is not open (POLLHUP): nothing can arrive until the
            // program opens it; look again shortly instead of spinning.
            QThread::msleep(5);
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, size_t(qMin<qsizetype>(sizeof buffer, count - got.size())));
        if (n > 0)
            got.append(buffer, n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            break;
        else if (n <= 0)
            QThread::msleep(5);
    }
    return got;
}

QByteArray PtyPair::readFor(int timeoutMs)
{
    return read(1 << 24, timeoutMs);
}

QString PtyPair::slaveSettings() const
{
    if (m_master < 0)
        return {};
    KernelTermios2 tio;
    if (::ioctl(m_master, _IOR('T', 0x2A, KernelTermios2), &tio) != 0)
        return {};
    QChar parity = QLatin1Char('n');
    if (tio.c_cflag & PARENB) {
        const bool odd = tio.c_cflag & PARODD;
        if (tio.c_cflag & CMSPAR)
            parity = odd ? QLatin1Char('m') : QLatin1Char('s');
        else
            parity = odd ? QLatin1Char('o') : QLatin1Char('e');
    }
    int dataBits = 8;
    switch (tio.c_cflag & CSIZE) {
    case CS5: dataBits = 5; break;
    case CS6: dataBits = 6; break;
    case CS7: dataBits = 7; break;
    default: dataBits = 8; break;
    }
    const int stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return QStringLiteral("%1,%2,%3,%4").arg(tio.c_ospeed).arg(parity).arg(dataBits).arg(stopBits);
}

unsigned PtyPair::slaveInputFlags() const
{
    termios tio;
    if (m_master < 0 || ::tcgetattr(m_master, &tio) != 0)
        return 0;
    return unsigned(tio.c_iflag);
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
