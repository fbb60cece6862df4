// Loading and saving the settings through the main window: round trips,
// the defaults file byte for byte, every load failure ending in the complete
// defaults, failed saves that change nothing, and File, Open and File, Save.

#include "support/scripted_services.h"
#include "support/file_helpers.h"
#include "ui/port_combo_box.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

// The file that "Default All Settings" followed by a save writes.
const QByteArray DefaultsFile = QByteArray::fromHex(
    "30 0D 0A 35 0D 0A 22 22 0D 0A 22 40 26 24 22 0D 0A 22 3F 22 0D 0A 22 24 22 0D 0A 22 5E 22 0D 0A 22 25 22 "
    "0D 0A 22 23 22 0D 0A 22 40 22 0D 0A 22 2D 22 0D 0A 22 7E 22 0D 0A 22 22 0D 0A 22 2A 22 0D 0A 30 0D 0A 31 "
    "0D 0A");

// Sixteen lines as the program writes them, each ended by CR LF.
QByteArray lines(const QList<QByteArray> &values)
{
    QByteArray file;
    for (const QByteArray &value : values)
        file += value + "\r\n";
    return file;
}

QList<QByteArray> defaultLines()
{
    return {"0", "5", "\"\"", "\"@&$\"", "\"?\"", "\"$\"", "\"^\"", "\"%\"",
            "\"#\"", "\"@\"", "\"-\"", "\"~\"", "\"\"", "\"*\"", "0", "1"};
}


// Values that differ from every default, with a comma in a path and a quote
// in a protocol field.
Settings unusualSettings(const QString &folder)
{
    Settings settings;
    settings.comPortIndex = 7;
    settings.baudRateIndex = 9;
    settings.applicationFile = folder + QStringLiteral("/builds, old/app.hex");
    settings.startDownloadSequence = QStringLiteral("AB C");
    settings.bootloaderReadyChar = QStringLiteral("!");
    settings.jumpToBootloaderCommand = QString();
    settings.bootloaderActiveChar = QStringLiteral("^^");
    settings.pageErrorChar = QStringLiteral("P");
    settings.fileCompleteErrorsChar = QStringLiteral("E");
    settings.fileCompleteOkChar = QStringLiteral("K");
    settings.checksumErrorChar = QStringLiteral("\"");
    settings.lineCompleteChar = QStringLiteral("a \"b\" c");
    settings.eepromFile = folder + QStringLiteral("/data.eep");
    settings.eepromWriteChar = QStringLiteral(",");
    settings.eepromCheck = 1;
    settings.flashCheck = 2;
    return settings;
}

void show(Form1 &window, const Settings &settings)
{
    for (int i = 0; i < SettingCount; ++i)
        window.showSetting(SettingRole(i), settings);
}

} // namespace

class TestForm1SettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void theDefaultsFile()
    {
        QCOMPARE(DefaultsFile.size(), 72);
        ScriptedServices test;
        Form1 window(test.services());
        window.RestoreDefaults();
        const QString path = test.folder.filePath(QStringLiteral("defaults.txt"));
        window.SaveSettings(path);
        QCOMPARE(readFile(path), DefaultsFile);
        QVERIFY(test.prompt.boxes.isEmpty());
    }

    void roundTripThroughTheMenus()
    {
        ScriptedServices test;
        Form1 window(test.services());
        const Settings saved = unusualSettings(test.folder.path());
        show(window, saved);

        const QString path = test.folder.filePath(QStringLiteral("bench, desk 2.txt"));
        test.picker.answers << path;
        window.SaveMenu->trigger();
        QCOMPARE(test.picker.requests.last().title, QStringLiteral("Select File to Save"));
        QCOMPARE(test.picker.requests.last().mode, FilePicker::Mode::Save);
        QCOMPARE(test.picker.requests.last().nameFilters, QStringList{"Text Files (*.txt)"});
        QCOMPARE(test.picker.requests.last().defaultSuffix, QStringLiteral("hex"));
        QVERIFY(QFile::exists(path));
        // Texts go between quotes unchanged, numbers as they are.
        QVERIFY(readFile(path).startsWith("7\r\n9\r\n\"" + test.folder.path().toLocal8Bit() + "/builds, old/app.hex\"\r\n"));

        window.RestoreDefaults();
        test.picker.answers << path;
        window.OpenMenu->trigger();
        QCOMPARE(test.picker.requests.last().title, QStringLiteral("Select File to Open"));
        QCOMPARE(test.picker.requests.last().mode, FilePicker::Mode::Open);
        QCOMPARE(test.picker.requests.last().nameFilters, QStringList{"Text Files (*.txt)"});
        // The dialog starts with the name chosen last.
        QCOMPARE(test.picker.requests.last().fileName, path);
        QCOMPARE(window.currentSettings(), saved);
        QCOMPARE(window.FlashCheck->checkState(), Qt::PartiallyChecked);
        QVERIFY(test.prompt.boxes.isEmpty());
    }

    void cancelledDialogsDoNothing()
    {
        ScriptedServices test;
        Form1 window(test.services());
        const Settings shown = unusualSettings(test.folder.path());
        show(window, shown);
        window.OpenMenu->trigger(); // nothing queued: cancelled
        window.SaveMenu->trigger();
        QCOMPARE(test.picker.requests.size(), 2);
        QCOMPARE(window.currentSettings(), shown);
        QVERIFY(test.prompt.boxes.isEmpty());
        QCOMPARE(QDir(test.folder.path()).entryList(QDir::Files), QStringList());
    }

    void shortcuts()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.Text2->setFocus();
        QTest::keyClick(window.Text2, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(window.Text2, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(test.picker.requests.size(), 2);
        QCOMPARE(test.picker.requests[0].title, QStringLiteral("Select File to Open"));
        QCOMPARE(test.picker.requests[1].title, QStringLiteral("Select File to Save"));
    }

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("content"); // "<folder>" and "<none>" make no file
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("failsAfterLine");

        QList<QByteArray> fifteen = defaultLines();
        fifteen[2] = "\"/keep/me.hex\"";
        fifteen.removeLast();
        QTest::newRow("missing file") << QByteArray("<none>") << "tarnwick.txt" << 0;
        QTest::newRow("a folder") << QByteArray("<folder>") << "settings.txt" << 0;
        QTest::newRow("empty file") << QByteArray() << "empty.txt" << 0;
        QTest::newRow("fifteen values") << lines(fifteen) << "fifteen.txt" << 15;

        const auto changed = [](int line, const QByteArray &value) {
            QList<QByteArray> values = defaultLines();
            values[2] = "\"/keep/me.hex\"";
            values[line - 1] = value;
            return lines(values);
        };
        QTest::newRow("no ninth port") << changed(1, "8") << "port.txt" << 0;
        QTest::newRow("port -2") << changed(1, "-2") << "port.txt" << 0;
        QTest::newRow("no eleventh rate") << changed(2, "10") << "rate.txt" << 1;
        QTest::newRow("rate beyond 16 bits") << changed(2, "70000") << "rate.txt" << 1;
        QTest::newRow("rate not a number") << changed(2, "fast") << "rate.txt" << 1;
        QTest::newRow("check box 3") << changed(15, "3") << "box.txt" << 14;
        QTest::newRow("check box empty") << changed(16, "") << "box.txt" << 15;
        QTest::newRow("check box letters") << changed(16, "yes") << "box.txt" << 15;
        QTest::newRow("path with a comma") << QByteArray("<none>") << "a, b.txt" << 0;
    }

    void loadFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QFETCH(int, failsAfterLine);
        ScriptedServices test;
        Form1 window(test.services());
        show(window, unusualSettings(test.folder.path()));

        const QString path = QDir::toNativeSeparators(test.folder.filePath(name));
        if (content == "<folder>")
            QVERIFY(QDir().mkpath(path));
        else if (content != "<none>")
            QVERIFY(writeFile(path, content));

        QString applicationFileBehindTheBox;
        test.prompt.whileShown = [&](const ScriptedPrompt::Box &) {
            applicationFileBehindTheBox = window.Text1->text();
        };
        window.LoadSettings(path);

        QCOMPARE(test.prompt.boxes.size(), 1);
        const ScriptedPrompt::Box box = test.prompt.boxes.first();
        QCOMPARE(box.title, QStringLiteral("Tarnwick"));
        QCOMPARE(box.text, QStringLiteral("An error occured while loading file ") + path
                               + QStringLiteral(". The default settings will be loaded instead."));
        QCOMPARE(box.icon, Prompt::Icon::Exclamation);
        QCOMPARE(box.buttons, Prompt::Buttons::Ok);
        // The values read before the failure were on show behind the message
        // (the application file is the third value).
        if (failsAfterLine > 3)
            QCOMPARE(applicationFileBehindTheBox, QStringLiteral("/keep/me.hex"));
        // Then the complete defaults, never a mixture.
        QCOMPARE(window.currentSettings(), Settings::defaults());
    }

    void unreadableFile()
    {
        if (runningAsRoot())
            QSKIP("file permissions do not bind root");
        ScriptedServices test;
        Form1 window(test.services());
        const QString path = test.folder.filePath(QStringLiteral("locked.txt"));
        QVERIFY(writeFile(path, DefaultsFile));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        show(window, unusualSettings(test.folder.path()));
        window.LoadSettings(path);
        QCOMPARE(test.prompt.texts(), QStringList{QStringLiteral("An error occured while loading file ") + path
                                                  + QStringLiteral(". The default settings will be loaded instead.")});
        QCOMPARE(window.currentSettings(), Settings::defaults());
    }

    void filesThatLoad_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("value");
        QList<QByteArray> values = defaultLines();
        values[15] = "2";
        QTest::newRow("greyed application box") << lines(values) << int(SettingRole::FlashCheck) << "2";
        values = defaultLines();
        values[0] = "-1";
        QTest::newRow("no port chosen") << lines(values) << int(SettingRole::ComPortIndex) << "-1";
        QTest::newRow("extra lines") << lines(defaultLines()) + "\"more\"\r\n17\r\n\r\n" << int(SettingRole::FlashCheck)
                                     << "1";
        values = defaultLines();
        values[2] = "  \"C:\\builds, 2\\app.hex\"";
        QTest::newRow("blanks before a quote") << lines(values) << int(SettingRole::ApplicationFile)
                                               << "C:\\builds, 2\\app.hex";
        values = defaultLines();
        values[10] = "\"\"\"";
        QTest::newRow("a quote as checksum error") << lines(values) << int(SettingRole::ChecksumErrorChar) << "\"";
        // Lines that end with LF alone, as an editor may save them.
        QTest::newRow("LF line ends") << QByteArray(lines(defaultLines())).replace("\r\n", "\n")
                                      << int(SettingRole::BaudRateIndex) << "5";
    }

    void filesThatLoad()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, role);
        QFETCH(QString, value);
        ScriptedServices test;
        Form1 window(test.services());
        const QString path = test.folder.filePath(QStringLiteral("good.txt"));
        QVERIFY(writeFile(path, content));
        window.LoadSettings(path);
        QCOMPARE(test.prompt.texts(), QStringList());
        QCOMPARE(window.settingText(SettingRole(role)), value);
    }

    void failedSavesChangeNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("missing folder") << "no such folder/tarnwick.txt" << false;
        QTest::newRow("a folder") << "folder" << false;
        QTest::newRow("a value the format cannot hold") << "tarnwick.txt" << true;
    }

    void failedSavesChangeNothing()
    {
        QFETCH(QString, name);
        QFETCH(bool, oldFile);
        ScriptedServices test;
        Form1 window(test.services());
        QVERIFY(QDir(test.folder.path()).mkdir(QStringLiteral("folder")));
        const QString path = QDir::toNativeSeparators(test.folder.filePath(name));
        if (oldFile)
            QVERIFY(writeFile(path, DefaultsFile));

        Settings shown = unusualSettings(test.folder.path());
        if (oldFile)
            shown.startDownloadSequence = QStringLiteral("A") + QChar(0) + QStringLiteral("B");
        show(window, shown);
        window.SaveSettings(path);

        QCOMPARE(test.prompt.boxes.size(), 1);
        QCOMPARE(test.prompt.boxes[0].title, QStringLiteral("Tarnwick"));
        QCOMPARE(test.prompt.boxes[0].text, QStringLiteral("An error occured while saving file ") + path);
        QCOMPARE(test.prompt.boxes[0].icon, Prompt::Icon::Exclamation);
        QCOMPARE(test.prompt.boxes[0].buttons, Prompt::Buttons::Ok);
        QCOMPARE(window.currentSettings(), shown);
        if (oldFile)
            QCOMPARE(readFile(path), DefaultsFile);
        // No temporary file left behind.
        QCOMPARE(QDir(test.folder.path()).entryList(QDir::Files),
                 oldFile ? QStringList{QStringLiteral("tarnwick.txt")} : QStringList());
    }

    void readOnlyFolder()
    {
        if (runningAsRoot())
            QSKIP("file permissions do not bind root");
        ScriptedServices test;
        Form1 window(test.services());
        const QString path = test.folder.filePath(QStringLiteral("tarnwick.txt"));
        QVERIFY(writeFile(path, DefaultsFile));
        QVERIFY(QFile::setPermissions(test.folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        show(window, unusualSettings(test.folder.path()));
        window.SaveSettings(path);
        QFile::setPermissions(test.folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(test.prompt.texts(), QStringList{QStringLiteral("An error occured while saving file ") + path});
        QCOMPARE(readFile(path), DefaultsFile);
    }

    void settingsCommandsDuringADownload()
    {
        ScriptedServices test;
        Form1 window(test.services());
        window.RestoreDefaults();
        window.EnterBusyState();
        // The menus stay usable; saving and loading work on their own file.
        const QString path = test.folder.filePath(QStringLiteral("during.txt"));
        test.picker.answers << path;
        window.SaveMenu->trigger();
        QCOMPARE(readFile(path), DefaultsFile);
        window.Text2->setText(QStringLiteral("changed"));
        test.picker.answers << path;
        window.OpenMenu->trigger();
        QCOMPARE(window.Text2->text(), QStringLiteral("@&$"));
        QVERIFY(!window.Text2->isEnabled());
        QVERIFY(test.prompt.boxes.isEmpty());
    }
};

QTEST_MAIN(TestForm1SettingsFile)
#include "test_form1_settings_file.moc"
