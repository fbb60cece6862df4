#pragma once

#include <QString>

// The command-line front end's two output streams. Results go to standard
// output; status texts, the progress bar, questions and failures go to
// standard error. On a terminal the progress bar is one line redrawn in place;
// anything else written meanwhile first moves below it, so that lines never
// mix.
class ConsoleOutput
{
public:
    explicit ConsoleOutput(bool quiet);

    bool quiet() const { return m_quiet; }
    // Standard error is a terminal: the progress bar is redrawn in place.
    bool errorIsTerminal() const { return m_errorIsTerminal; }
    // Standard input and standard error are a terminal: questions can be asked.
    bool canAsk() const;

    // A line on standard output: the final message of a run.
    void result(const QString &text);
    // A line on standard error that --quiet silences: status texts.
    void note(const QString &text);
    // A line on standard error, always: failures and the answers to questions.
    void error(const QString &text);
    // Text on standard error without a line end: a question awaiting its answer.
    void ask(const QString &text);

    // The progress bar. On a terminal it replaces the bar drawn before; the
    // final drawing ends the line. Elsewhere every drawing is a line of its own.
    void progress(const QString &text, bool final);
    // Leaves the bar as it stands and goes on below it.
    void endProgress();

private:
    void write(int fd, const QByteArray &bytes);

    bool m_quiet;
    bool m_errorIsTerminal;
    bool m_barShown = false;
};
