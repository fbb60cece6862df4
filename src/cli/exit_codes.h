#pragma once

#include "download/download_run.h"

#include <QString>

// The exit status of tarnwick-cli. Each way a download can end has its own
// code, so that a script or a makefile can tell them apart without reading the
// messages.
namespace ExitCode {

inline constexpr int Success = 0;              // the bootloader reported the last file complete without errors
inline constexpr int BootloaderErrors = 1;     // ... complete with errors
inline constexpr int NoAnswerAtEnd = 2;        // no end answer after the last line
inline constexpr int NoBootloaderResponse = 3; // the handshake got no ready answer
inline constexpr int EepromRefused = 4;        // the bootloader is too old to write EEPROM
inline constexpr int PortError = 5;            // the port could not be set up, opened or closed
inline constexpr int FileError = 6;            // a file could not be opened or read; a failure while sending
inline constexpr int Stopped = 7;              // Ctrl-C, SIGTERM, or "no" to a question
inline constexpr int UsageError = 64;          // bad options, or nothing to send

} // namespace ExitCode

int exitCodeFor(DownloadOutcome outcome);

// The table of exit codes, as --help and the manual print it.
QString exitCodeTable();
