#include "cli/cli_host.h"

#include "app/app_info.h"
#include "cli/console_output.h"
#include "download/download_texts.h"

namespace {

// A bar redrawn in place can follow the countdown closely; plain lines are
// rationed by PlainProgressSchedule.
constexpr int TerminalRedrawMs = 200;
constexpr int PlainRedrawMs = 1000;

} // namespace

CliHost::CliHost(const Settings &settings, ConsoleOutput &console, Prompt &prompt,
                 std::function<bool()> cancelRequested)
    : m_settings(settings)
    , m_console(console)
    , m_prompt(prompt)
    , m_cancelRequested(std::move(cancelRequested))
{
    // The window's Timer1.
    m_ticks.setInterval(DownloadVariables::TickIntervalMs);
    QObject::connect(&m_ticks, &QTimer::timeout, [this] { m_variables.tick(); });
    m_ticks.start();
    m_redraw.setInterval(console.errorIsTerminal() ? TerminalRedrawMs : PlainRedrawMs);
    QObject::connect(&m_redraw, &QTimer::timeout, [this] { drawProgress(false); });
}

DownloadVariables &CliHost::variables()
{
    // Ctrl-C is the Cancel button: the run sees it at its next cancel check,
    // even where no event has run since the signal came.
    if (m_cancelRequested()) {
        m_variables.CancelRequested = -1;
        if (!m_cancelNoted) {
            m_cancelNoted = true;
            m_console.error(QStringLiteral("tarnwick-cli: stopping before the next line; "
                                           "press Ctrl-C again to quit at once"));
        }
    }
    return m_variables;
}

QString CliHost::caption()
{
    return AppInfo::captionWithVersion(AppInfo::title());
}

void CliHost::setStatus(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    m_console.note(text);
}

void CliHost::showVersion(const QString &text)
{
    // The bare label comes before the handshake; only a reported number is news.
    if (text != DownloadTexts::VersionLabel)
        m_console.note(text);
}

void CliHost::showLinesRemaining(const QString &)
{
    m_sending = true;
    m_fileLabel = m_variables.DownloadPlan == 1 ? QStringLiteral("EEPROM") : QStringLiteral("FLASH ");
    m_plainSchedule = PlainProgressSchedule();
    m_sendingSince.start();
    drawProgress(false);
}

void CliHost::setLinesRemainingText(const QString &)
{
    // Set only at the end of a file: the bar shows it complete.
    if (!m_sending)
        return;
    drawProgress(true);
    m_sending = false;
}

void CliHost::setLinesTimerEnabled(bool enabled)
{
    if (enabled)
        m_redraw.start();
    else
        m_redraw.stop();
}

void CliHost::drawProgress(bool final)
{
    if (!m_sending)
        return;
    ProgressFigures figures =
        progressFromCountdown(m_variables.LinesTotal, m_variables.LinesRemaining, m_sendingSince.elapsed());
    if (final)
        figures.done = figures.total;
    if (m_console.errorIsTerminal() || m_plainSchedule.due(figures, final))
        m_console.progress(formatProgress(m_fileLabel, figures), final);
}

void CliHost::enterBusyState()
{
    // A Ctrl-C that came before the run started still stops it.
    m_variables.CancelRequested = m_cancelRequested() ? -1 : 0;
}

void CliHost::enterIdleState()
{
    m_redraw.stop();
    m_sending = false;
    m_console.endProgress();
    m_status = QStringLiteral("Idle");
}

void CliHost::withdrawEepromChoice()
{
    m_settings.eepromCheck = 0;
}
