// The sixteen settings in the main window's controls: the defaults, "Default
// All Settings", and the values a control takes (list positions, check box
// states 0 to 2).

#include "platform/failure.h"
#include "support/scripted_services.h"
#include "ui/port_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>

namespace {

// Every control away from its default.
void changeEverything(Form1 &window)
{
    window.Combo1->setCurrentIndex(7);
    window.Combo2->setCurrentIndex(0);
    for (QLineEdit *box : window.textBoxes())
        box->setText(QStringLiteral("changed ") + box->objectName());
    window.EepromCheck->setCheckState(Qt::Checked);
    window.FlashCheck->setCheckState(Qt::Unchecked);
}

} // namespace

class TestForm1Settings : public QObject
{
    Q_OBJECT

private slots:
    void theWindowStartsWithTheDefaults()
    {
        ScriptedServices test;
        Form1 window(test.services());
        Settings expected = Settings::defaults();
        // The lists have no entry chosen before start-up.
        expected.comPortIndex = -1;
        expected.baudRateIndex = -1;
        QCOMPARE(window.currentSettings(), expected);
    }

    void defaultAllSettings()
    {
        ScriptedServices test;
        Form1 window(test.services());
        changeEverything(window);
        window.DefaultMenu->trigger();

        QCOMPARE(window.currentSettings(), Settings::defaults());
        QCOMPARE(window.Combo1->currentText(), QStringLiteral("Com 1"));
        QCOMPARE(window.Combo2->currentText(), QStringLiteral("19200"));
        QCOMPARE(window.Text2->text(), QStringLiteral("@&$"));
        QCOMPARE(window.Text6->text(), QStringLiteral("~"));
        QCOMPARE(window.Text10->text(), QStringLiteral("-"));
        QVERIFY(window.Text1->text().isEmpty());
        QVERIFY(window.Text11->text().isEmpty());
        QCOMPARE(window.FlashCheck->checkState(), Qt::Checked);
        QCOMPARE(window.EepromCheck->checkState(), Qt::Unchecked);
        // No question, no message, no file.
        QVERIFY(test.prompt.boxes.isEmpty());
        QVERIFY(!QFile::exists(test.settingsFile()));
    }

    void defaultAllSettingsDuringADownload()
    {
        ScriptedServices test;
        Form1 window(test.services());
        changeEverything(window);
        window.EnterBusyState();
        QVERIFY(window.DefaultMenu->isEnabled());
        window.DefaultMenu->trigger();
        QCOMPARE(window.currentSettings(), Settings::defaults());
        // The controls stay locked.
        QVERIFY(!window.Text2->isEnabled());
        QVERIFY(!window.Combo1->isEnabled());
    }

    void valuesTheControlsTake_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("taken");
        const auto row = [](const char *name, SettingRole role, int value, bool taken) {
            QTest::newRow(name) << int(role) << value << taken;
        };
        row("port none", SettingRole::ComPortIndex, -1, true);
        row("port 8", SettingRole::ComPortIndex, 7, true);
        row("no ninth port", SettingRole::ComPortIndex, 8, false);
        row("port -2", SettingRole::ComPortIndex, -2, false);
        row("rate 115200", SettingRole::BaudRateIndex, 9, true);
        row("no eleventh rate", SettingRole::BaudRateIndex, 10, false);
        row("rate far out", SettingRole::BaudRateIndex, 40000, false);
        row("EEPROM clear", SettingRole::EepromCheck, 0, true);
        row("EEPROM greyed", SettingRole::EepromCheck, 2, true);
        row("EEPROM 3", SettingRole::EepromCheck, 3, false);
        row("application greyed", SettingRole::FlashCheck, 2, true);
        row("application -1", SettingRole::FlashCheck, -1, false);
    }

    void valuesTheControlsTake()
    {
        QFETCH(int, role);
        QFETCH(int, value);
        QFETCH(bool, taken);
        ScriptedServices test;
        Form1 window(test.services());
        window.RestoreDefaults();
        Settings settings = window.currentSettings();
        settings.setNumber(SettingRole(role), value);
        if (taken) {
            window.showSetting(SettingRole(role), settings);
            QCOMPARE(window.settingNumber(SettingRole(role)), value);
            QCOMPARE(window.currentSettings(), settings);
        } else {
            const Settings before = window.currentSettings();
            QVERIFY_THROWS_EXCEPTION(Failure, window.showSetting(SettingRole(role), settings));
            QCOMPARE(window.currentSettings(), before);
        }
    }

    void greyedBoxes()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Settings settings;
        settings.flashCheck = 2;
        settings.eepromCheck = 2;
        window.showSetting(SettingRole::FlashCheck, settings);
        window.showSetting(SettingRole::EepromCheck, settings);
        QCOMPARE(window.FlashCheck->checkState(), Qt::PartiallyChecked);
        QCOMPARE(window.EepromCheck->checkState(), Qt::PartiallyChecked);

        // Clicked by the user, a greyed box becomes an ordinary box again.
        QTest::mouseClick(window.FlashCheck, Qt::LeftButton, {}, QPoint(6, window.FlashCheck->height() / 2));
        const Qt::CheckState first = window.FlashCheck->checkState();
        QVERIFY(first != Qt::PartiallyChecked);
        QTest::mouseClick(window.FlashCheck, Qt::LeftButton, {}, QPoint(6, window.FlashCheck->height() / 2));
        QVERIFY(window.FlashCheck->checkState() != Qt::PartiallyChecked);
        QVERIFY(window.FlashCheck->checkState() != first);
        QTest::mouseClick(window.FlashCheck, Qt::LeftButton, {}, QPoint(6, window.FlashCheck->height() / 2));
        QCOMPARE(window.FlashCheck->checkState(), first);

        // Restoring the defaults from greyed.
        window.RestoreDefaults();
        QCOMPARE(window.FlashCheck->checkState(), Qt::Checked);
        QCOMPARE(window.EepromCheck->checkState(), Qt::Unchecked);
    }

    void textsAreTakenAsTheyAre()
    {
        ScriptedServices test;
        Form1 window(test.services());
        Settings settings = Settings::defaults();
        // Spaces, quotes, commas, a long path: nothing is trimmed or cut.
        settings.startDownloadSequence = QStringLiteral("  \"a, b\"  ");
        settings.applicationFile = QStringLiteral("/very/") + QString(40000, u'x') + QStringLiteral(".hex");
        for (int i = 0; i < SettingCount; ++i)
            window.showSetting(SettingRole(i), settings);
        QCOMPARE(window.currentSettings(), settings);
        QCOMPARE(window.settingText(SettingRole::StartDownloadSequence), settings.startDownloadSequence);
    }
};

QTEST_MAIN(TestForm1Settings)
#include "test_form1_settings.moc"
