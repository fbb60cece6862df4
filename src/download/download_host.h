#pragma once

#include "app/settings.h"

#include <QString>

class Prompt;

// The window-level variables that a download shares with its window: the
// window's timers and its Cancel button act on them while the download waits.
// All 16-bit signed, 0 when the window is created.
struct DownloadVariables
{
    qint16 DownloadPlan = 0;    // 0 none, 1 the EEPROM file, 2 the application file
    qint16 CancelRequested = 0; // -1 true, 0 false
    qint16 TickCount = 0;       // raised by the 60 ms tick up to 5
    qint16 LinesRemaining = 0;
    qint16 LinesTotal = 0;

    // The short answer wait's time base: a host raises TickCount by one on
    // every tick of a 60 ms timer, up to 5.
    static constexpr int TickIntervalMs = 60;
    static constexpr qint16 TickLimit = 5;
    void tick()
    {
        if (TickCount < TickLimit)
            ++TickCount;
    }
};

// What a download needs from its window. The main window is one host; the
// command-line front end and the tests are others.
class DownloadHost
{
public:
    virtual ~DownloadHost() = default;

    // The settings, read from the controls at the moment of use.
    virtual QString settingText(SettingRole role) = 0;
    virtual int settingNumber(SettingRole role) = 0;

    virtual DownloadVariables &variables() = 0;

    // The window's current caption: the title of every download message.
    virtual QString caption() = 0;
    virtual Prompt &prompt() = 0;

    virtual void setStatus(const QString &text) = 0;             // the status line
    virtual void showVersion(const QString &text) = 0;           // version label: caption, made visible
    virtual void showLinesRemaining(const QString &text) = 0;    // lines-remaining label: caption, made visible
    virtual void setLinesRemainingText(const QString &text) = 0; // lines-remaining label: caption only
    virtual void setLinesTimerEnabled(bool enabled) = 0;         // the 1 s refresh of the lines-remaining label

    // Must clear CancelRequested and make a second download impossible.
    virtual void enterBusyState() = 0;
    // Back to rest, status "Idle"; the lines-remaining label hidden and empty.
    virtual void enterIdleState() = 0;
    // An old bootloader refused an EEPROM download: the EEPROM file field,
    // check box (now cleared) and Browse button are withdrawn until idle.
    virtual void withdrawEepromChoice() = 0;
    // After a choice message and the no-file message.
    virtual void focusApplicationBrowse() = 0;

    // Runs the pending window events and returns.
    virtual void letEventsRun() = 0;
    // Runs window events, blocking until at least one arrives (received port
    // data included) or boundMs passes. Waits call this instead of spinning.
    virtual void waitForEvents(int boundMs) = 0;
};
