#include "cli/terminal_prompt.h"

#include "cli/console_output.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

TerminalPrompt::TerminalPrompt(ConsoleOutput &console, CliOptions::OnError onError,
                               std::function<bool()> cancelRequested, int wakeDescriptor)
    : m_console(console)
    , m_onError(onError)
    , m_cancelRequested(std::move(cancelRequested))
    , m_wakeDescriptor(wakeDescriptor)
{
}

bool TerminalPrompt::show(const QString &, const QString &text, Icon icon, Buttons buttons)
{
    if (buttons == Buttons::YesNo)
        return answer(text);
    if (icon == Icon::Exclamation)
        m_console.error(text);
    else
        m_console.result(text);
    return true;
}

bool TerminalPrompt::answer(const QString &question)
{
    // After Ctrl-C the user has already answered: stop.
    if (m_cancelRequested()) {
        m_console.error(question + QStringLiteral(" no (cancelled)"));
        return false;
    }
    switch (m_onError) {
    case CliOptions::OnError::Continue:
        m_console.error(question + QStringLiteral(" yes (--on-error continue)"));
        return true;
    case CliOptions::OnError::Stop:
        m_console.error(question + QStringLiteral(" no (--on-error stop)"));
        return false;
    case CliOptions::OnError::Ask:
        break;
    }
    if (!m_console.canAsk()) {
        m_console.error(question + QStringLiteral(" no (no terminal to ask; --on-error continue goes on)"));
        return false;
    }
    m_console.ask(question + QStringLiteral(" [y/N] "));
    const std::optional<QByteArray> line = readAnswerLine();
    if (!line) {
        m_console.error(QString());
        return false;
    }
    const QByteArray reply = line->trimmed().toLower();
    return reply == "y" || reply == "yes";
}

std::optional<QByteArray> TerminalPrompt::readAnswerLine()
{
    QByteArray line;
    for (;;) {
        if (m_cancelRequested())
            return std::nullopt;
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {m_wakeDescriptor, POLLIN, 0}};
        const int ready = ::poll(fds, m_wakeDescriptor >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (fds[1].revents != 0)
            return std::nullopt;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return std::nullopt;
        if (c == '\n')
            return line;
        line.append(c);
    }
}
