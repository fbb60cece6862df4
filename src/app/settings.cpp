#include "app/settings.h"

#include <array>

bool isTextSetting(SettingRole role)
{
    switch (role) {
    case SettingRole::ComPortIndex:
    case SettingRole::BaudRateIndex:
    case SettingRole::EepromCheck:
    case SettingRole::FlashCheck:
        return false;
    default:
        return true;
    }
}

namespace {

// The address of the member that holds a text setting.
QString Settings::*textMember(SettingRole role)
{
    switch (role) {
    case SettingRole::ApplicationFile: return &Settings::applicationFile;
    case SettingRole::StartDownloadSequence: return &Settings::startDownloadSequence;
    case SettingRole::BootloaderReadyChar: return &Settings::bootloaderReadyChar;
    case SettingRole::JumpToBootloaderCommand: return &Settings::jumpToBootloaderCommand;
    case SettingRole::BootloaderActiveChar: return &Settings::bootloaderActiveChar;
    case SettingRole::PageErrorChar: return &Settings::pageErrorChar;
    case SettingRole::FileCompleteErrorsChar: return &Settings::fileCompleteErrorsChar;
    case SettingRole::FileCompleteOkChar: return &Settings::fileCompleteOkChar;
    case SettingRole::ChecksumErrorChar: return &Settings::checksumErrorChar;
    case SettingRole::LineCompleteChar: return &Settings::lineCompleteChar;
    case SettingRole::EepromFile: return &Settings::eepromFile;
    case SettingRole::EepromWriteChar: return &Settings::eepromWriteChar;
    default: return nullptr;
    }
}

int Settings::*numberMember(SettingRole role)
{
    switch (role) {
    case SettingRole::ComPortIndex: return &Settings::comPortIndex;
    case SettingRole::BaudRateIndex: return &Settings::baudRateIndex;
    case SettingRole::EepromCheck: return &Settings::eepromCheck;
    case SettingRole::FlashCheck: return &Settings::flashCheck;
    default: return nullptr;
    }
}

} // namespace

QString Settings::text(SettingRole role) const
{
    auto member = textMember(role);
    return member ? this->*member : QString::number(number(role));
}

void Settings::setText(SettingRole role, const QString &value)
{
    if (auto member = textMember(role))
        this->*member = value;
}

int Settings::number(SettingRole role) const
{
    auto member = numberMember(role);
    return member ? this->*member : 0;
}

void Settings::setNumber(SettingRole role, int value)
{
    if (auto member = numberMember(role))
        this->*member = value;
}

QString comPortEntry(int index)
{
    return QStringLiteral("Com %1").arg(index + 1);
}

int baudRateEntry(int index)
{
    static constexpr std::array<int, BaudRateCount> rates{1200, 2400, 4800, 9600, 14400,
                                                          19200, 38400, 56000, 57600, 115200};
    return index >= 0 && index < BaudRateCount ? rates[std::size_t(index)] : 0;
}
