#pragma once

#include <QString>

// The sixteen settings, in the order in which the settings file stores them.
// Each lives in a control of the main window; these role names are how the
// rest of the program refers to them.
enum class SettingRole {
    ComPortIndex,
    BaudRateIndex,
    ApplicationFile,
    StartDownloadSequence,
    BootloaderReadyChar,
    JumpToBootloaderCommand,
    BootloaderActiveChar,
    PageErrorChar,
    FileCompleteErrorsChar,
    FileCompleteOkChar,
    ChecksumErrorChar,
    LineCompleteChar,
    EepromFile,
    EepromWriteChar,
    EepromCheck,
    FlashCheck,
};

inline constexpr int SettingCount = 16;

// True for the twelve texts (file names and protocol fields); false for the two
// list positions and the two check box states.
bool isTextSetting(SettingRole role);

// The sixteen values as plain data, for the settings file and the front ends
// that have no window. Numbers: list positions (-1 none) and check box states
// (0 clear, 1 ticked, 2 grey).
struct Settings
{
    int comPortIndex = 0;
    int baudRateIndex = 5;
    QString applicationFile;
    QString startDownloadSequence = QStringLiteral("@&$");
    QString bootloaderReadyChar = QStringLiteral("?");
    QString jumpToBootloaderCommand = QStringLiteral("$");
    QString bootloaderActiveChar = QStringLiteral("^");
    QString pageErrorChar = QStringLiteral("%");
    QString fileCompleteErrorsChar = QStringLiteral("#");
    QString fileCompleteOkChar = QStringLiteral("@");
    QString checksumErrorChar = QStringLiteral("-");
    QString lineCompleteChar = QStringLiteral("~");
    QString eepromFile;
    QString eepromWriteChar = QStringLiteral("*");
    int eepromCheck = 0;
    int flashCheck = 1;

    // A default-constructed record holds the defaults.
    static Settings defaults() { return {}; }

    QString text(SettingRole role) const;
    void setText(SettingRole role, const QString &value);
    int number(SettingRole role) const;
    void setNumber(SettingRole role, int value);

    bool operator==(const Settings &) const = default;
};

// The entries of the two lists, in their fixed order.
inline constexpr int ComPortCount = 8;
QString comPortEntry(int index);           // "Com 1" ... "Com 8"
inline constexpr int BaudRateCount = 10;
int baudRateEntry(int index);              // 1200 ... 115200
