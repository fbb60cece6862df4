#pragma once

#include "sim/sim_options.h"

#include <QString>
#include <QStringList>

// What the tarnwick-sim command line asks for.
struct SimCommandLine
{
    SimOptions options;
    QString linkPath;  // --link: make this a symbolic link to the device
    bool helpRequested = false;
};

// Reads the arguments (the program name first). Fails with a reason that
// names the offending option.
bool parseSimCommandLine(const QStringList &arguments, SimCommandLine *result, QString *error);

// The --help text: every option with what it does and its default.
QString simHelpText();
