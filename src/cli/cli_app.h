#pragma once

#include <QStringList>

// The whole of tarnwick-cli: reads the command line, runs one download (or
// lists the ports, or prints help) and returns the exit status. Needs a
// QCoreApplication.
int runTarnwickCli(const QStringList &arguments);
