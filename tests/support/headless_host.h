#pragma once

#include "app/settings.h"
#include "download/download_host.h"
#include "download/event_wait.h"
#include "platform/prompt.h"

#include <QStringList>
#include <QTimer>

// A download host without a window, for driving the engine directly. Keeps
// the settings as a record, counts ticks like the window's 60 ms timer, and
// records everything the engine shows, in order, as lines of a journal:
// "busy", "idle", "status: ...", "version: ...", "lines: ...", "linestext: ...",
// "timer3: on", "withdraw", "focus", "inform: ...", "warn: ...", "ask: ...".
class HeadlessHost : public DownloadHost
{
public:
    explicit HeadlessHost(Prompt &prompt);

    Settings settings;
    QString windowCaption = QStringLiteral("Tarnwick - V 2.0");
    QStringList journal;
    bool busy = false;
    QString status = QStringLiteral("Idle");
    QString versionText;
    bool versionVisible = false;
    QString linesText;
    bool linesVisible = false;
    bool linesTimerEnabled = false;
    // Called on every pass of a wait; tests use it to press Cancel or change a
    // field at a chosen moment.
    std::function<void()> onEvents;

    QString settingText(SettingRole role) override { return settings.text(role); }
    int settingNumber(SettingRole role) override { return settings.number(role); }
    DownloadVariables &variables() override { return m_variables; }
    QString caption() override { return windowCaption; }
    Prompt &prompt() override { return m_journaling; }
    void setStatus(const QString &text) override;
    void showVersion(const QString &text) override;
    void showLinesRemaining(const QString &text) override;
    void setLinesRemainingText(const QString &text) override;
    void setLinesTimerEnabled(bool enabled) override;
    void enterBusyState() override;
    void enterIdleState() override;
    void withdrawEepromChoice() override;
    void focusApplicationBrowse() override;
    void letEventsRun() override;
    void waitForEvents(int boundMs) override;

    // The statuses shown, in order, without repeats.
    QStringList statuses() const;

private:
    // Puts each box into the journal ("inform: ...", "warn: ...", "ask: ...")
    // and lets the given prompt show it.
    class JournalingPrompt : public Prompt
    {
    public:
        JournalingPrompt(Prompt &inner, QStringList &journal) : m_inner(inner), m_journal(journal) {}

    protected:
        bool show(const QString &title, const QString &text, Icon icon, Buttons buttons) override;

    private:
        Prompt &m_inner;
        QStringList &m_journal;
    };

    JournalingPrompt m_journaling;
    DownloadVariables m_variables;
    QTimer m_ticks;
    EventWait m_wait;
};
