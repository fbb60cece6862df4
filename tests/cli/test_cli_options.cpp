#include "cli/cli_options.h"
#include "cli/exit_codes.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

Q_DECLARE_METATYPE(CliOptions::OnError)

namespace {

QStringList command(const QString &line)
{
    return QStringList{QStringLiteral("tarnwick-cli")} + QProcess::splitCommand(line);
}

} // namespace

class TestCliOptions : public QObject
{
    Q_OBJECT

private slots:
    // Each option lands in its setting; everything not given keeps its default.
    void settingsFromOptions_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<SettingRole>("role");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Com number") << "--port 3" << SettingRole::ComPortIndex << "2";
        QTest::newRow("Com number, short") << "-p 8" << SettingRole::ComPortIndex << "7";
        QTest::newRow("device path is Com 1") << "--port /dev/ttyUSB0" << SettingRole::ComPortIndex << "0";
        QTest::newRow("lowest rate") << "--baud 1200" << SettingRole::BaudRateIndex << "0";
        QTest::newRow("odd rate") << "--baud 56000" << SettingRole::BaudRateIndex << "7";
        QTest::newRow("highest rate") << "-b 115200" << SettingRole::BaudRateIndex << "9";
        QTest::newRow("rate, = form") << "--baud=57600" << SettingRole::BaudRateIndex << "8";
        QTest::newRow("flash ticks its box") << "--flash /x/app.hex" << SettingRole::FlashCheck << "1";
        QTest::newRow("flash alone clears EEPROM") << "--flash /x/app.hex" << SettingRole::EepromCheck << "0";
        QTest::newRow("EEPROM alone clears flash") << "--eeprom /x/e.eep" << SettingRole::FlashCheck << "0";
        QTest::newRow("EEPROM ticks its box") << "--eeprom /x/e.eep" << SettingRole::EepromCheck << "1";
        QTest::newRow("flash name") << "--flash /x/app.hex" << SettingRole::ApplicationFile << "/x/app.hex";
        QTest::newRow("EEPROM name") << "-e /x/e.eep" << SettingRole::EepromFile << "/x/e.eep";
        QTest::newRow("jump command") << "--jump-command J" << SettingRole::JumpToBootloaderCommand << "J";
        QTest::newRow("active char") << "--active-char A" << SettingRole::BootloaderActiveChar << "A";
        QTest::newRow("start sequence") << "--start-sequence \"go on\"" << SettingRole::StartDownloadSequence
                                        << "go on";
        QTest::newRow("ready char, several characters") << "--ready-char OK" << SettingRole::BootloaderReadyChar
                                                        << "OK";
        QTest::newRow("ready char, empty") << "--ready-char=" << SettingRole::BootloaderReadyChar << "";
        QTest::newRow("EEPROM write char") << "--eeprom-write-char W" << SettingRole::EepromWriteChar << "W";
        QTest::newRow("line complete") << "--line-complete-char L" << SettingRole::LineCompleteChar << "L";
        QTest::newRow("page error") << "--page-error-char P" << SettingRole::PageErrorChar << "P";
        QTest::newRow("checksum error") << "--checksum-error-char C" << SettingRole::ChecksumErrorChar << "C";
        QTest::newRow("file with errors") << "--file-errors-char E" << SettingRole::FileCompleteErrorsChar << "E";
        QTest::newRow("file ok") << "--file-ok-char K" << SettingRole::FileCompleteOkChar << "K";
        QTest::newRow("the last of two wins") << "--file-ok-char K --file-ok-char Z" << SettingRole::FileCompleteOkChar
                                              << "Z";
        QTest::newRow("untouched setting keeps its default") << "--port 2" << SettingRole::LineCompleteChar << "~";
    }

    void settingsFromOptions()
    {
        QFETCH(QString, line);
        QFETCH(SettingRole, role);
        QFETCH(QString, expected);
        const CliParseResult parsed = parseCliArguments(command(line));
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        QCOMPARE(parsed.options.applyTo(Settings::defaults()).text(role), expected);
    }

    // Options given win over the settings the run starts from; what is not
    // given stays as the settings file had it.
    void optionsOverrideBase()
    {
        Settings base;
        base.comPortIndex = 4;
        base.baudRateIndex = 2;
        base.applicationFile = QStringLiteral("/old/app.hex");
        base.eepromFile = QStringLiteral("/old/e.eep");
        base.flashCheck = 1;
        base.eepromCheck = 1;
        base.lineCompleteChar = QStringLiteral("L");

        Settings fromFile = parseCliArguments(command(QStringLiteral("--baud 9600"))).options.applyTo(base);
        QCOMPARE(fromFile.comPortIndex, 4);
        QCOMPARE(fromFile.baudRateIndex, 3);
        QCOMPARE(fromFile.flashCheck, 1);
        QCOMPARE(fromFile.eepromCheck, 1);
        QCOMPARE(fromFile.applicationFile, QStringLiteral("/old/app.hex"));
        QCOMPARE(fromFile.lineCompleteChar, QStringLiteral("L"));

        Settings flashOnly = parseCliArguments(command(QStringLiteral("--flash /new/a.hex"))).options.applyTo(base);
        QCOMPARE(flashOnly.flashCheck, 1);
        QCOMPARE(flashOnly.eepromCheck, 0);
        QCOMPARE(flashOnly.applicationFile, QStringLiteral("/new/a.hex"));
        QCOMPARE(flashOnly.eepromFile, QStringLiteral("/old/e.eep"));
    }

    void relativeFileNamesBecomeAbsolute()
    {
        const CliParseResult parsed = parseCliArguments(command(QStringLiteral("--flash a --eeprom sub/../e.eep")));
        QVERIFY(parsed.error.isEmpty());
        QCOMPARE(*parsed.options.flashFile, QDir::current().absoluteFilePath(QStringLiteral("a")));
        QCOMPARE(*parsed.options.eepromFile, QDir::current().absoluteFilePath(QStringLiteral("e.eep")));
        // An empty name stays empty: the download says which file is missing.
        QCOMPARE(*parseCliArguments(command(QStringLiteral("--flash \"\""))).options.flashFile, QString());
    }

    void switches_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("mode");
        QTest::addColumn<CliOptions::OnError>("onError");
        QTest::addColumn<QString>("portDevice");
        QTest::addColumn<QString>("settingsFile");
        QTest::newRow("nothing") << "" << 0 << CliOptions::OnError::Ask << "" << "";
        QTest::newRow("wait mode") << "--wait" << 1 << CliOptions::OnError::Ask << "" << "";
        QTest::newRow("continue") << "--on-error continue" << 0 << CliOptions::OnError::Continue << "" << "";
        QTest::newRow("stop") << "-w --on-error=stop" << 1 << CliOptions::OnError::Stop << "" << "";
        QTest::newRow("device") << "-p /dev/pts/4" << 0 << CliOptions::OnError::Ask << "/dev/pts/4" << "";
        QTest::newRow("device, then number") << "-p /dev/pts/4 -p 2" << 0 << CliOptions::OnError::Ask << "" << "";
        QTest::newRow("settings file") << "-s board.txt" << 0 << CliOptions::OnError::Ask << "" << "board.txt";
    }

    void switches()
    {
        QFETCH(QString, line);
        QFETCH(int, mode);
        QFETCH(CliOptions::OnError, onError);
        QFETCH(QString, portDevice);
        QFETCH(QString, settingsFile);
        const CliParseResult parsed = parseCliArguments(command(line));
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
        QCOMPARE(int(parsed.options.downloadMode), mode);
        QCOMPARE(parsed.options.onError, onError);
        QCOMPARE(parsed.options.portDevice, portDevice);
        QCOMPARE(parsed.options.settingsFile, settingsFile);
    }

    // A bad command line gets one line that says what is wrong.
    void badCommandLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("unknown option") << "--flsh a.hex" << "flsh";
        QTest::newRow("missing value") << "--flash" << "flash";
        QTest::newRow("Com 0") << "--port 0" << "1 to 8";
        QTest::newRow("Com 9") << "--port 9" << "1 to 8";
        QTest::newRow("empty port") << "--port \"\"" << "--port";
        QTest::newRow("rate not in the list") << "--baud 300" << "1200, 2400";
        QTest::newRow("rate not a number") << "--baud fast" << "--baud fast";
        QTest::newRow("on-error word") << "--on-error maybe" << "continue or stop";
        QTest::newRow("positional argument") << "app.hex" << "app.hex";
        QTest::newRow("empty settings name") << "--settings \"\"" << "--settings";
    }

    void badCommandLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, errorPart);
        const CliParseResult parsed = parseCliArguments(command(line));
        QVERIFY2(parsed.error.contains(errorPart), qPrintable(parsed.error));
        QVERIFY(!parsed.error.contains(u'\n'));
    }

    // --help names every option the parser takes and every exit code.
    void helpDocumentsEverything()
    {
        const QString help = cliHelp();
        const QStringList options{
            "--port", "--baud", "--wait", "--list-ports", "--flash", "--eeprom", "--settings",
            "--jump-command", "--active-char", "--start-sequence", "--ready-char", "--eeprom-write-char",
            "--line-complete-char", "--page-error-char", "--checksum-error-char", "--file-errors-char",
            "--file-ok-char", "--on-error", "--quiet", "--help", "--version"};
        for (const QString &option : options) {
            QVERIFY2(help.contains(option + u' ') || help.contains(option + u'\n'), qPrintable(option));
            // ... and the parser really takes it.
            const CliParseResult parsed = parseCliArguments(command(option));
            QVERIFY2(!parsed.error.contains(QStringLiteral("Unknown option")), qPrintable(parsed.error));
        }
        for (int code : {ExitCode::Success, ExitCode::BootloaderErrors, ExitCode::NoAnswerAtEnd,
                         ExitCode::NoBootloaderResponse, ExitCode::EepromRefused, ExitCode::PortError,
                         ExitCode::FileError, ExitCode::Stopped, ExitCode::UsageError}) {
            QVERIFY2(help.contains(QRegularExpression(QStringLiteral("\\n +%1  ").arg(code))), qPrintable(QString::number(code)));
        }
        // The defaults are shown as they are, "%" included.
        QVERIFY(help.contains(QStringLiteral("(\"%\")")));
        QVERIFY(help.contains(QStringLiteral("(\"@&$\")")));
        QVERIFY(!help.contains(QRegularExpression(QStringLiteral("%\\d"))));
    }

    // Every way a download ends has a code of its own, apart from the ways
    // in which the command did not say what to send.
    void exitCodes_data()
    {
        QTest::addColumn<DownloadOutcome>("outcome");
        QTest::addColumn<int>("code");
        QTest::newRow("success") << DownloadOutcome::Success << 0;
        QTest::newRow("errors") << DownloadOutcome::FileCompleteWithErrors << 1;
        QTest::newRow("no end answer") << DownloadOutcome::NoAnswerAtEnd << 2;
        QTest::newRow("no bootloader") << DownloadOutcome::NoBootloaderResponse << 3;
        QTest::newRow("EEPROM refused") << DownloadOutcome::EepromRefused << 4;
        QTest::newRow("port access") << DownloadOutcome::PortAccessFailed << 5;
        QTest::newRow("closing") << DownloadOutcome::ClosingFailed << 5;
        QTest::newRow("opening") << DownloadOutcome::OpeningFailed << 6;
        QTest::newRow("firmware file") << DownloadOutcome::FirmwareFileFailed << 6;
        QTest::newRow("stopped") << DownloadOutcome::Stopped << 7;
        QTest::newRow("no name") << DownloadOutcome::ChoiceIncomplete << 64;
        QTest::newRow("no file") << DownloadOutcome::NoFileChosen << 64;
    }

    void exitCodes()
    {
        QFETCH(DownloadOutcome, outcome);
        QFETCH(int, code);
        QCOMPARE(exitCodeFor(outcome), code);
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "test_cli_options.moc"
