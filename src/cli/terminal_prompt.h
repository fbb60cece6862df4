#pragma once

#include "cli/cli_options.h"
#include "platform/prompt.h"

#include <functional>

class ConsoleOutput;

// The download's message boxes on the command line. Results and other
// information go to standard output, failures to standard error, each as the
// window shows it. Questions are asked as y/N on the terminal, or answered by
// --on-error; with neither a terminal nor the option the answer is no, so a
// script never hangs on a question nobody sees.
class TerminalPrompt : public Prompt
{
public:
    // cancelRequested: true once the user has pressed Ctrl-C, which answers
    // any question no. wakeDescriptor becomes readable at that moment.
    TerminalPrompt(ConsoleOutput &console, CliOptions::OnError onError, std::function<bool()> cancelRequested,
                   int wakeDescriptor);

protected:
    bool show(const QString &title, const QString &text, Icon icon, Buttons buttons) override;

private:
    bool answer(const QString &question);
    // Reads one line typed on the terminal. Empty on end of input or Ctrl-C.
    std::optional<QByteArray> readAnswerLine();

    ConsoleOutput &m_console;
    CliOptions::OnError m_onError;
    std::function<bool()> m_cancelRequested;
    int m_wakeDescriptor;
};
