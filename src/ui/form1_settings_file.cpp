// The settings file: loading it into the controls, saving the controls into
// it, and File, Open and File, Save.

#include "app/app_info.h"
#include "app/settings_file.h"
#include "platform/failure.h"
#include "platform/prompt.h"
#include "ui/form1.h"

namespace {

const QString SettingsFilter = QStringLiteral("Text Files (*.txt)|*.txt");

} // namespace

void Form1::LoadSettings(const QString &FilePath)
{
    try {
        // Each value shows in its control as soon as it is read.
        readSettingsFile(FilePath, [this](SettingRole role, const Settings &settings) {
            showSetting(role, settings);
        });
    } catch (const Failure &) {
        // The values read so far stay visible behind the message; then every
        // value goes back to its default, never a mixture.
        m_prompt->warn(AppInfo::title(), loadFailureMessage(FilePath));
        RestoreDefaults();
    }
}

void Form1::SaveSettings(const QString &FilePath)
{
    try {
        // The old file is replaced only once the new one is complete.
        writeSettingsFile(FilePath, currentSettings());
    } catch (const Failure &) {
        m_prompt->warn(AppInfo::title(), saveFailureMessage(FilePath));
    }
}

void Form1::openSettingsFile()
{
    try {
        BrowseDialog.setDialogTitle(QStringLiteral("Select File to Open"));
        BrowseDialog.setFilter(SettingsFilter);
        BrowseDialog.showOpen();
    } catch (const Failure &) {
        return; // cancelled: nothing is loaded, nothing shown
    }
    LoadSettings(BrowseDialog.fileName());
}

void Form1::saveSettingsFile()
{
    try {
        BrowseDialog.setDialogTitle(QStringLiteral("Select File to Save"));
        BrowseDialog.setFilter(SettingsFilter);
        BrowseDialog.showSave();
    } catch (const Failure &) {
        return;
    }
    SaveSettings(BrowseDialog.fileName());
}
