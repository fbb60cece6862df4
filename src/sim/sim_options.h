#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The characters the simulated bootloader listens for and answers with. Each
// is a byte sequence of any length; the defaults are those the download
// program starts with.
struct ProtocolChars
{
    QByteArray jumpCommand = "$";         // application -> bootloader
    QByteArray activeChar = "^";          // sent when the bootloader becomes active
    QByteArray startSequence = "@&$";     // "are you ready to receive?"
    QByteArray readyChar = "?";           // "ready", followed by "V" and the version
    QByteArray eepromWriteChar = "*";     // an EEPROM file follows ("!" after it: then a flash file)
    QByteArray lineComplete = "~";        // a record was taken
    QByteArray pageError = "%";           // writing a flash page failed
    QByteArray checksumError = "-";       // bad checksum or malformed record
    QByteArray fileCompleteErrors = "#";  // end of file, something was lost
    QByteArray fileCompleteOk = "@";      // end of file, everything stored
};

// Misbehaviour on request. Records are numbered from 1 in the order they
// arrive in each download (from the ready answer on, across an EEPROM file
// and the flash file that follows it); a resend, that is the same text again
// right after an error answer or no answer, keeps the number of the record it
// repeats. 0 switches a fault off.
struct FaultOptions
{
    int checksumErrorRecord = 0;  // answer the checksum-error character to this record ...
    int checksumErrorTimes = 1;   // ... this many times in a row (resends included)
    int pageErrorRecord = 0;      // answer the page-error character to this record
    int silentRecord = 0;         // do not answer this record ...
    int silentTimes = 1;          // ... this many times in a row
    int xoffRecord = 0;           // after answering this record send XOFF ...
    int xoffHoldMs = 0;           // ... and XON this much later
    int vanishRecord = 0;         // after answering this record the device disappears
    int answerDelayMs = 0;        // every answer leaves this much later
    int pageWriteMs = 0;          // time to write one flash page; delays the answer that causes it
    int pageSize = 128;           // bytes per flash page, for the page write time
};

// Where the simulator leaves what it received when it ends (or on request).
// An empty path writes nothing.
struct OutputOptions
{
    enum class ImageFormat { Binary, IntelHex };
    QString flashPath;
    QString eepromPath;
    ImageFormat format = ImageFormat::Binary;
    QString transcriptPath;
};

struct SimOptions
{
    ProtocolChars chars;
    // Sent after "V" in the ready answer; hasVersion false sends the ready
    // character alone, like an old bootloader.
    QByteArray version = "1.3";
    bool hasVersion = true;

    // Time from the jump command until the bootloader runs; what arrives in
    // between is lost, as it would be on a target that restarts.
    int startupMs = 50;
    // Start in the bootloader (as after a reset) instead of the application.
    bool startInBootloader = false;
    // Reset the target this long after each time the host opens the port
    // (-1: never), like a user pressing the reset button after starting a
    // "wait for bootloader" download.
    int resetAfterOpenMs = -1;

    // Serial wire time: with a rate, an answer of k bytes leaves k * 10 / baud
    // seconds after it is ready, in one piece, and received bytes count as
    // arrived only at the pace of the wire. 0: no wire time.
    int baudRate = 0;

    // A record that stops arriving in the middle is answered with the
    // checksum-error character after this much silence.
    int incompleteRecordMs = 300;

    // Sizes of the two memories; a record that writes beyond them is answered
    // with the page-error character.
    quint32 flashSize = 1024 * 1024;
    quint32 eepromSize = 64 * 1024;

    FaultOptions faults;
    OutputOptions output;
};
