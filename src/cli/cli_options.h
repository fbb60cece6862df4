#pragma once

#include "app/settings.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

// What the command line of tarnwick-cli asks for. Every setting of the window
// has an option; the ones given override the settings the run starts from
// (the defaults, or a settings file named by --settings).
struct CliOptions
{
    // How the three questions of a download (checksum error, page error, no
    // response) are answered.
    enum class OnError {
        Ask,      // y/N on the terminal; "no" when there is none
        Continue, // "yes" without asking
        Stop,     // "no" without asking
    };

    QString settingsFile;               // empty: start from the defaults
    std::optional<int> comPortIndex;    // --port N: N - 1
    QString portDevice;                 // --port PATH: the device itself, as "Com 1"
    std::optional<int> baudRateIndex;
    std::optional<QString> flashFile;   // absolute unless empty
    std::optional<QString> eepromFile;
    QList<QPair<SettingRole, QString>> protocolFields; // in the order given
    qint16 downloadMode = 0;            // 0 jump mode, 1 wait mode (--wait)
    OnError onError = OnError::Ask;
    bool listPorts = false;
    bool quiet = false;
    bool help = false;
    bool version = false;

    // The settings a run uses: base with every option given applied. When a
    // file is named on the command line the boxes follow the command line:
    // the named files are ticked and the others cleared.
    Settings applyTo(Settings base) const;
};

struct CliParseResult
{
    CliOptions options;
    QString error; // one line; empty when the command line is sound
};

// arguments: as QCoreApplication::arguments(), the program first.
CliParseResult parseCliArguments(const QStringList &arguments);

// "Usage: tarnwick-cli [options]" and a pointer to --help.
QString cliUsage();
// Everything --help prints.
QString cliHelp();
