#pragma once

#include "app/settings.h"
#include "cli/progress_meter.h"
#include "download/download_host.h"
#include "download/event_wait.h"

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

class ConsoleOutput;

// The command line as the window of a download: the settings come from the
// command line, the status line and the lines-remaining label become lines
// and a progress bar on standard error, and Ctrl-C is the Cancel button.
class CliHost : public DownloadHost
{
public:
    // cancelRequested: true once the user has asked to stop (Ctrl-C).
    CliHost(const Settings &settings, ConsoleOutput &console, Prompt &prompt, std::function<bool()> cancelRequested);

    QString settingText(SettingRole role) override { return m_settings.text(role); }
    int settingNumber(SettingRole role) override { return m_settings.number(role); }
    DownloadVariables &variables() override;
    QString caption() override;
    Prompt &prompt() override { return m_prompt; }

    void setStatus(const QString &text) override;
    void showVersion(const QString &text) override;
    void showLinesRemaining(const QString &text) override;
    void setLinesRemainingText(const QString &text) override;
    void setLinesTimerEnabled(bool enabled) override;
    void enterBusyState() override;
    void enterIdleState() override;
    void withdrawEepromChoice() override;
    void focusApplicationBrowse() override {}
    void letEventsRun() override { m_wait.letEventsRun(); }
    void waitForEvents(int boundMs) override { m_wait.waitForEvents(boundMs); }

    const Settings &settings() const { return m_settings; }

private:
    void drawProgress(bool final);

    Settings m_settings;
    ConsoleOutput &m_console;
    Prompt &m_prompt;
    std::function<bool()> m_cancelRequested;
    bool m_cancelNoted = false;
    DownloadVariables m_variables;
    EventWait m_wait;
    QTimer m_ticks;   // the window's 60 ms tick
    QTimer m_redraw;  // the progress bar, while a file is sent
    QString m_status;
    bool m_sending = false;
    QString m_fileLabel;
    QElapsedTimer m_sendingSince;
    PlainProgressSchedule m_plainSchedule;
};
