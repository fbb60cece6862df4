#include "headless_host.h"

HeadlessHost::HeadlessHost(Prompt &prompt)
    : m_journaling(prompt, journal)
{
    m_ticks.setInterval(DownloadVariables::TickIntervalMs);
    QObject::connect(&m_ticks, &QTimer::timeout, [this] { m_variables.tick(); });
    m_ticks.start();
}

void HeadlessHost::setStatus(const QString &text)
{
    status = text;
    journal << QStringLiteral("status: ") + text;
}

void HeadlessHost::showVersion(const QString &text)
{
    versionText = text;
    versionVisible = true;
    journal << QStringLiteral("version: ") + text;
}

void HeadlessHost::showLinesRemaining(const QString &text)
{
    linesText = text;
    linesVisible = true;
    journal << QStringLiteral("lines: ") + text;
}

void HeadlessHost::setLinesRemainingText(const QString &text)
{
    linesText = text;
    journal << QStringLiteral("linestext: ") + text;
}

void HeadlessHost::setLinesTimerEnabled(bool enabled)
{
    linesTimerEnabled = enabled;
    journal << (enabled ? QStringLiteral("timer3: on") : QStringLiteral("timer3: off"));
}

void HeadlessHost::enterBusyState()
{
    busy = true;
    status.clear();
    m_variables.CancelRequested = 0;
    journal << QStringLiteral("busy");
}

void HeadlessHost::enterIdleState()
{
    busy = false;
    linesVisible = false;
    status = QStringLiteral("Idle");
    linesText.clear();
    journal << QStringLiteral("idle");
}

void HeadlessHost::withdrawEepromChoice()
{
    settings.eepromCheck = 0;
    journal << QStringLiteral("withdraw");
}

void HeadlessHost::focusApplicationBrowse()
{
    journal << QStringLiteral("focus");
}

void HeadlessHost::letEventsRun()
{
    if (onEvents)
        onEvents();
    m_wait.letEventsRun();
}

void HeadlessHost::waitForEvents(int boundMs)
{
    if (onEvents)
        onEvents();
    m_wait.waitForEvents(boundMs);
}

QStringList HeadlessHost::statuses() const
{
    QStringList result;
    for (const QString &entry : journal) {
        if (entry.startsWith(QStringLiteral("status: ")) && (result.isEmpty() || result.last() != entry.mid(8)))
            result << entry.mid(8);
    }
    return result;
}

bool HeadlessHost::JournalingPrompt::show(const QString &title, const QString &text, Icon icon, Buttons buttons)
{
    if (buttons == Buttons::YesNo) {
        m_journal << QStringLiteral("ask: ") + text;
        return m_inner.ask(title, text);
    }
    if (icon == Icon::Exclamation) {
        m_journal << QStringLiteral("warn: ") + text;
        m_inner.warn(title, text);
    } else {
        m_journal << QStringLiteral("inform: ") + text;
        m_inner.inform(title, text);
    }
    return true;
}
