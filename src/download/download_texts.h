#pragma once

#include <QString>

// The texts that a download shows: status line texts and messages.
namespace DownloadTexts {

inline const QString SelectEepromFile = QStringLiteral("Select EEPROM file to download.");
inline const QString SelectApplicationFile = QStringLiteral("Select Application file to download.");
inline const QString CheckBox = QStringLiteral("Check box to download code.");

inline const QString InitializingPort = QStringLiteral("Initializing the com port");
inline const QString VersionLabel = QStringLiteral("BootLoader Version: ");
inline const QString RequestingAck = QStringLiteral("Requesting Ack from target bootloader.  Try #");
inline const QString MainCodeResponded = QStringLiteral("Main code responded.  Switching to bootloader.");
inline const QString WaitingForActive = QStringLiteral("Waiting for Bootloader Active Character...Reset target...");
inline const QString RequestingReady = QStringLiteral("Requesting Bootloader Ready.  Try #");
inline const QString NoBootloaderResponse = QStringLiteral("No response from target bootloader.");
inline const QString EepromNotSupported = QStringLiteral("Embedded Bootloader Version does not support EEPROM write.");

inline const QString OpeningFile = QStringLiteral("Opening the file ");
inline const QString SendingEeprom = QStringLiteral("Sending EEPROM File - lines remaining ");
inline const QString SendingFlash = QStringLiteral("Sending FLASH File - lines remaining ");
inline const QString ChecksumErrorAt = QStringLiteral("Checksum error at line ");
inline const QString PageErrorAt = QStringLiteral("Error writing to flash at line ");
inline const QString NoResponseAfter = QStringLiteral("Did not receive a response after sending line ");
inline const QString ContinueQuestion = QStringLiteral(". Continue with download?");

inline const QString FlashSuccess = QStringLiteral("Flash File successfully downloaded.");
inline const QString EepromSuccess = QStringLiteral("EEPROM File successfully downloaded.");
inline const QString BothSuccess = QStringLiteral("Flash & EEPROM Files successfully downloaded.");
inline const QString FileErrors = QStringLiteral("Error encountered while downloading file.");
inline const QString NoAnswerAtEnd =
    QStringLiteral("Error encountered while downloading file.  No response from bootloader at end of file.");

inline const QString PortAccessError = QStringLiteral("Error encountered while accessing the com port.");
inline const QString FirmwareFileError = QStringLiteral("Error encountered while downloading the firmware file.");
inline const QString ErrorOpening = QStringLiteral("Error opening ");
inline const QString ClosingError = QStringLiteral("Error encountered while closing the com port.");

} // namespace DownloadTexts
