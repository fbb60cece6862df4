#include "cli/console_output.h"

#include <QByteArray>
#include <cerrno>
#include <unistd.h>

ConsoleOutput::ConsoleOutput(bool quiet)
    : m_quiet(quiet)
    , m_errorIsTerminal(::isatty(STDERR_FILENO) == 1)
{
}

bool ConsoleOutput::canAsk() const
{
    return m_errorIsTerminal && ::isatty(STDIN_FILENO) == 1;
}

void ConsoleOutput::write(int fd, const QByteArray &bytes)
{
    // Plain write(2) calls: nothing buffered is lost when a second Ctrl-C ends
    // the program at once, and the two streams appear in the order written.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a closed pipe or a full disk: nothing more to tell anyone
        done += n;
    }
}

void ConsoleOutput::endProgress()
{
    if (m_barShown)
        write(STDERR_FILENO, "\n");
    m_barShown = false;
}

void ConsoleOutput::result(const QString &text)
{
    endProgress();
    write(STDOUT_FILENO, text.toLocal8Bit() + '\n');
}

void ConsoleOutput::note(const QString &text)
{
    if (m_quiet)
        return;
    endProgress();
    write(STDERR_FILENO, text.toLocal8Bit() + '\n');
}

void ConsoleOutput::error(const QString &text)
{
    endProgress();
    write(STDERR_FILENO, text.toLocal8Bit() + '\n');
}

void ConsoleOutput::ask(const QString &text)
{
    endProgress();
    write(STDERR_FILENO, text.toLocal8Bit());
}

void ConsoleOutput::progress(const QString &text, bool final)
{
    if (m_quiet)
        return;
    if (!m_errorIsTerminal) {
        write(STDERR_FILENO, text.toLocal8Bit() + '\n');
        return;
    }
    // Back to the start of the line, the new bar, the rest of the old one erased.
    write(STDERR_FILENO, '\r' + text.toLocal8Bit() + "\x1b[K");
    m_barShown = true;
    if (final)
        endProgress();
}
