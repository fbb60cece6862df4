#include "sim/pseudo_terminal.h"

#include <QtGlobal>

#ifndef Q_OS_UNIX
#error "The simulated target needs POSIX pseudo-terminals; build it on Linux."
#endif

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString *error)
{
    close();
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        *error = systemError(QStringLiteral("cannot create a pseudo-terminal"));
        return false;
    }
    char name[128] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        *error = systemError(QStringLiteral("cannot unlock the pseudo-terminal"));
        ::close(master);
        return false;
    }
    const QString path = QString::fromLocal8Bit(name);

    // The slave's settings belong to the slave side: open it once to make it
    // raw (no echo, no line editing, no CR/LF translation, no flow control),
    // then close it so that the host's open can be seen from here.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(path));
        ::close(master);
        return false;
    }
    termios settings{};
    bool raw = tcgetattr(slave, &settings) == 0;
    if (raw) {
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        raw = tcsetattr(slave, TCSANOW, &settings) == 0;
    }
    if (!raw) {
        *error = systemError(QStringLiteral("cannot make %1 raw").arg(path));
        ::close(slave);
        ::close(master);
        return false;
    }
    ::close(slave);

    m_master = master;
    m_path = path;
    return true;
}

void PseudoTerminal::close()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool PseudoTerminal::hostConnected() const
{
    if (m_master < 0)
        return false;
    // Once the slave has been opened and closed, the master reports a hang-up
    // for as long as no one holds the slave open.
    pollfd fd{m_master, POLLIN, 0};
    if (poll(&fd, 1, 0) < 0)
        return false;
    return (fd.revents & POLLHUP) == 0;
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray out;
    if (m_master < 0)
        return out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;  // EAGAIN: nothing more; EIO: no host
    }
    return out;
}

qint64 PseudoTerminal::write(const QByteArray &bytes)
{
    if (m_master < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}
