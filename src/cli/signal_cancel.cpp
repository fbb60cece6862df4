#include "cli/signal_cancel.h"

#include "platform/failure.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t s_signalNumber = 0;
int s_pipe[2] = {-1, -1};
struct sigaction s_previousInt;
struct sigaction s_previousTerm;

extern "C" void onCancelSignal(int signalNumber)
{
    const int savedErrno = errno;
    if (s_signalNumber != 0) {
        // The second one: the user does not want to wait for the next cancel
        // point. The default action ends the program once this handler returns.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
    } else {
        s_signalNumber = signalNumber;
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

SignalCancel::SignalCancel(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Failure(QStringLiteral("cannot create a pipe for Ctrl-C: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    s_signalNumber = 0;
    struct sigaction action = {};
    action.sa_handler = onCancelSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &s_previousInt);
    ::sigaction(SIGTERM, &action, &s_previousTerm);

    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalCancel::drain);
}

SignalCancel::~SignalCancel()
{
    ::sigaction(SIGINT, &s_previousInt, nullptr);
    ::sigaction(SIGTERM, &s_previousTerm, nullptr);
    m_notifier->setEnabled(false);
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

bool SignalCancel::requested() const
{
    return s_signalNumber != 0;
}

int SignalCancel::wakeDescriptor() const
{
    return s_pipe[0];
}

void SignalCancel::drain()
{
    char bytes[16];
    while (::read(s_pipe[0], bytes, sizeof bytes) > 0) {
    }
}
