#include "cli/exit_codes.h"

int exitCodeFor(DownloadOutcome outcome)
{
    switch (outcome) {
    case DownloadOutcome::Success:
        return ExitCode::Success;
    case DownloadOutcome::FileCompleteWithErrors:
        return ExitCode::BootloaderErrors;
    case DownloadOutcome::NoAnswerAtEnd:
        return ExitCode::NoAnswerAtEnd;
    case DownloadOutcome::NoBootloaderResponse:
        return ExitCode::NoBootloaderResponse;
    case DownloadOutcome::EepromRefused:
        return ExitCode::EepromRefused;
    case DownloadOutcome::PortAccessFailed:
    case DownloadOutcome::ClosingFailed:
        return ExitCode::PortError;
    case DownloadOutcome::OpeningFailed:
    case DownloadOutcome::FirmwareFileFailed:
        return ExitCode::FileError;
    case DownloadOutcome::Stopped:
        return ExitCode::Stopped;
    // The command did not say what to send: a ticked file without a name, or
    // no file at all (the handshake ran, nothing was sent).
    case DownloadOutcome::ChoiceIncomplete:
    case DownloadOutcome::NoFileChosen:
        return ExitCode::UsageError;
    }
    return ExitCode::FileError;
}

QString exitCodeTable()
{
    return QStringLiteral(
        "Exit status:\n"
        "   0  the download succeeded: the bootloader reported the last file complete\n"
        "   1  the bootloader reported the file complete with errors\n"
        "   2  no answer from the bootloader at the end of the file\n"
        "   3  no response from the target bootloader (handshake)\n"
        "   4  the bootloader is older than 1.3 and cannot write EEPROM\n"
        "   5  port error: the port could not be set up, opened or closed\n"
        "   6  file error: a firmware or settings file could not be opened or read,\n"
        "      or the download failed while sending\n"
        "   7  stopped: Ctrl-C, SIGTERM, or \"no\" to a question\n"
        "  64  usage error: a bad option, or nothing to send\n");
}
