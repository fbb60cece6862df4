// The sixteen settings as the controls hold them: reading them by role,
// showing a value in its control, the defaults.

#include "platform/failure.h"
#include "ui/form1.h"
#include "ui/port_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

// A list takes -1 (no entry) and the positions of its entries.
void setListPosition(QComboBox *list, int position)
{
    if (position < -1 || position >= list->count())
        throw Failure(QStringLiteral("%1 has no entry at position %2").arg(list->objectName()).arg(position));
    list->setCurrentIndex(position);
}

// A check box takes 0 (clear), 1 (ticked) and 2 (greyed); Qt numbers the
// states differently (ticked is 2 there).
void setCheckValue(QCheckBox *box, int value)
{
    switch (value) {
    case 0: box->setCheckState(Qt::Unchecked); break;
    case 1: box->setCheckState(Qt::Checked); break;
    case 2:
        // Straight from clear to greyed, QCheckBox ends up ticked instead.
        box->setCheckState(Qt::Checked);
        box->setCheckState(Qt::PartiallyChecked);
        break;
    default: throw Failure(QStringLiteral("%1 does not take the value %2").arg(box->objectName()).arg(value));
    }
}

} // namespace

int checkValue(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
    }
}

QLineEdit *Form1::textBoxFor(SettingRole role) const
{
    switch (role) {
    case SettingRole::ApplicationFile: return Text1;
    case SettingRole::StartDownloadSequence: return Text2;
    case SettingRole::BootloaderReadyChar: return Text3;
    case SettingRole::JumpToBootloaderCommand: return Text4;
    case SettingRole::BootloaderActiveChar: return Text5;
    case SettingRole::LineCompleteChar: return Text6;
    case SettingRole::PageErrorChar: return Text7;
    case SettingRole::FileCompleteErrorsChar: return Text8;
    case SettingRole::FileCompleteOkChar: return Text9;
    case SettingRole::ChecksumErrorChar: return Text10;
    case SettingRole::EepromFile: return Text11;
    case SettingRole::EepromWriteChar: return Text12;
    default: return nullptr;
    }
}

Settings Form1::currentSettings() const
{
    Settings settings;
    settings.comPortIndex = Combo1->currentIndex();
    settings.baudRateIndex = Combo2->currentIndex();
    for (int i = 0; i < SettingCount; ++i) {
        const auto role = SettingRole(i);
        if (QLineEdit *box = textBoxFor(role))
            settings.setText(role, box->text());
    }
    settings.eepromCheck = checkValue(EepromCheck);
    settings.flashCheck = checkValue(FlashCheck);
    return settings;
}

void Form1::showSetting(SettingRole role, const Settings &settings)
{
    switch (role) {
    case SettingRole::ComPortIndex: setListPosition(Combo1, settings.comPortIndex); break;
    case SettingRole::BaudRateIndex: setListPosition(Combo2, settings.baudRateIndex); break;
    case SettingRole::EepromCheck: setCheckValue(EepromCheck, settings.eepromCheck); break;
    case SettingRole::FlashCheck: setCheckValue(FlashCheck, settings.flashCheck); break;
    default: textBoxFor(role)->setText(settings.text(role)); break;
    }
}

void Form1::RestoreDefaults()
{
    // The lists, the twelve texts in the order of their control names
    // (Text1 to Text12), then the two boxes.
    static constexpr SettingRole order[] = {
        SettingRole::ComPortIndex,          SettingRole::BaudRateIndex,
        SettingRole::ApplicationFile,       SettingRole::StartDownloadSequence,
        SettingRole::BootloaderReadyChar,   SettingRole::JumpToBootloaderCommand,
        SettingRole::BootloaderActiveChar,  SettingRole::LineCompleteChar,
        SettingRole::PageErrorChar,         SettingRole::FileCompleteErrorsChar,
        SettingRole::FileCompleteOkChar,    SettingRole::ChecksumErrorChar,
        SettingRole::EepromFile,            SettingRole::EepromWriteChar,
        SettingRole::EepromCheck,           SettingRole::FlashCheck,
    };
    const Settings defaults = Settings::defaults();
    for (SettingRole role : order)
        showSetting(role, defaults);
}

void Form1::refreshPortTooltips()
{
    // Which device each Com number opens right now (an adapter may have been
    // plugged in or out since the list last opened).
    for (int i = 0; i < Combo1->count(); ++i) {
        const QString device = m_portMap.deviceFor(i + 1);
        Combo1->setItemData(i,
                            device.isEmpty() ? QStringLiteral("%1: no serial device").arg(Combo1->itemText(i))
                                             : QStringLiteral("%1 opens %2").arg(Combo1->itemText(i), device),
                            Qt::ToolTipRole);
    }
}
