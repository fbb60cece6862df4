#include "cli/cli_options.h"

#include "cli/exit_codes.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <array>

namespace {

struct ProtocolOption
{
    const char *name;
    SettingRole role;
};

// One option per protocol field, named after what the field is.
constexpr std::array<ProtocolOption, 10> ProtocolOptions{{
    {"jump-command", SettingRole::JumpToBootloaderCommand},
    {"active-char", SettingRole::BootloaderActiveChar},
    {"start-sequence", SettingRole::StartDownloadSequence},
    {"ready-char", SettingRole::BootloaderReadyChar},
    {"eeprom-write-char", SettingRole::EepromWriteChar},
    {"line-complete-char", SettingRole::LineCompleteChar},
    {"page-error-char", SettingRole::PageErrorChar},
    {"checksum-error-char", SettingRole::ChecksumErrorChar},
    {"file-errors-char", SettingRole::FileCompleteErrorsChar},
    {"file-ok-char", SettingRole::FileCompleteOkChar},
}};

QString baudRateList()
{
    QStringList rates;
    for (int i = 0; i < BaudRateCount; ++i)
        rates << QString::number(baudRateEntry(i));
    return rates.join(QStringLiteral(", "));
}

bool isDecimal(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// A file name as the run will use it: relative names are taken from the
// current folder, so that messages name the file completely.
QString absoluteName(const QString &name)
{
    return name.isEmpty() ? name : QDir::cleanPath(QFileInfo(name).absoluteFilePath());
}

QString parsePort(const QString &value, CliOptions &options)
{
    if (value.isEmpty())
        return QStringLiteral("--port needs a Com number (1 to %1) or a device path").arg(ComPortCount);
    if (isDecimal(value)) {
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok || number < 1 || number > ComPortCount)
            return QStringLiteral("--port %1: a Com number is 1 to %2").arg(value).arg(ComPortCount);
        options.comPortIndex = number - 1;
        options.portDevice.clear();
        return {};
    }
    options.portDevice = value;
    options.comPortIndex = 0;
    return {};
}

QString parseBaud(const QString &value, CliOptions &options)
{
    for (int i = 0; i < BaudRateCount; ++i) {
        if (value == QString::number(baudRateEntry(i))) {
            options.baudRateIndex = i;
            return {};
        }
    }
    return QStringLiteral("--baud %1: the rate must be one of %2").arg(value, baudRateList());
}

QString parseOnError(const QString &value, CliOptions &options)
{
    if (value == QLatin1String("continue"))
        options.onError = CliOptions::OnError::Continue;
    else if (value == QLatin1String("stop"))
        options.onError = CliOptions::OnError::Stop;
    else
        return QStringLiteral("--on-error %1: say continue or stop").arg(value);
    return {};
}

} // namespace

Settings CliOptions::applyTo(Settings base) const
{
    if (comPortIndex)
        base.comPortIndex = *comPortIndex;
    if (baudRateIndex)
        base.baudRateIndex = *baudRateIndex;
    if (flashFile || eepromFile) {
        base.flashCheck = flashFile ? 1 : 0;
        base.eepromCheck = eepromFile ? 1 : 0;
    }
    if (flashFile)
        base.applicationFile = *flashFile;
    if (eepromFile)
        base.eepromFile = *eepromFile;
    for (const auto &[role, text] : protocolFields)
        base.setText(role, text);
    return base;
}

CliParseResult parseCliArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto valued = [](const QStringList &names, const QString &valueName) {
        return QCommandLineOption(names, QString(), valueName);
    };
    const QCommandLineOption port = valued({QStringLiteral("p"), QStringLiteral("port")}, QStringLiteral("N|PATH"));
    const QCommandLineOption baud = valued({QStringLiteral("b"), QStringLiteral("baud")}, QStringLiteral("RATE"));
    const QCommandLineOption flash = valued({QStringLiteral("f"), QStringLiteral("flash")}, QStringLiteral("FILE"));
    const QCommandLineOption eeprom = valued({QStringLiteral("e"), QStringLiteral("eeprom")}, QStringLiteral("FILE"));
    const QCommandLineOption settings =
        valued({QStringLiteral("s"), QStringLiteral("settings")}, QStringLiteral("FILE"));
    const QCommandLineOption onError = valued({QStringLiteral("on-error")}, QStringLiteral("continue|stop"));
    const QCommandLineOption wait(QStringList{QStringLiteral("w"), QStringLiteral("wait")});
    const QCommandLineOption listPorts(QStringList{QStringLiteral("l"), QStringLiteral("list-ports")});
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    parser.addOptions({port, baud, flash, eeprom, settings, onError, wait, listPorts, quiet, help, version});
    QList<QCommandLineOption> protocol;
    for (const ProtocolOption &option : ProtocolOptions) {
        protocol << valued({QString::fromLatin1(option.name)}, QStringLiteral("TEXT"));
        parser.addOption(protocol.back());
    }

    CliParseResult result;
    CliOptions &options = result.options;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument '%1'; files are named with --flash or --eeprom")
                           .arg(parser.positionalArguments().constFirst());
        return result;
    }

    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    options.listPorts = parser.isSet(listPorts);
    options.quiet = parser.isSet(quiet);
    options.downloadMode = parser.isSet(wait) ? 1 : 0;
    if (parser.isSet(port))
        result.error = parsePort(parser.value(port), options);
    if (result.error.isEmpty() && parser.isSet(baud))
        result.error = parseBaud(parser.value(baud), options);
    if (result.error.isEmpty() && parser.isSet(onError))
        result.error = parseOnError(parser.value(onError), options);
    if (!result.error.isEmpty())
        return result;
    if (parser.isSet(settings)) {
        options.settingsFile = parser.value(settings);
        if (options.settingsFile.isEmpty()) {
            result.error = QStringLiteral("--settings needs a file name");
            return result;
        }
    }
    if (parser.isSet(flash))
        options.flashFile = absoluteName(parser.value(flash));
    if (parser.isSet(eeprom))
        options.eepromFile = absoluteName(parser.value(eeprom));
    for (std::size_t i = 0; i < ProtocolOptions.size(); ++i) {
        const QCommandLineOption &option = protocol.at(qsizetype(i));
        if (parser.isSet(option))
            options.protocolFields.append({ProtocolOptions[i].role, parser.value(option)});
    }
    return result;
}

QString cliUsage()
{
    return QStringLiteral("Usage: tarnwick-cli [options] --flash FILE [--eeprom FILE]\n"
                          "Try 'tarnwick-cli --help' for more information.\n");
}

QString cliHelp()
{
    const Settings defaults = Settings::defaults();
    QString text = QStringLiteral(
        "Usage: tarnwick-cli [options] --flash FILE [--eeprom FILE]\n"
        "       tarnwick-cli --list-ports\n"
        "\n"
        "Downloads firmware into a microcontroller through its resident serial\n"
        "bootloader: the same download as the Tarnwick window, with the same protocol,\n"
        "questions and messages. Each file is sent as text, line by line (Intel HEX\n"
        "records); the EEPROM file goes first when both are given.\n"
        "\n"
        "The run starts from the default settings, or from a settings file written by\n"
        "the window (--settings); every option given on the command line wins.\n"
        "\n"
        "Connection:\n"
        "  -p, --port N|PATH       Com number 1 to 8, mapped to a device as in the\n"
        "                          window (see --list-ports), or a device path such\n"
        "                          as /dev/ttyUSB0 (default: Com %1)\n"
        "  -b, --baud RATE         %2\n"
        "                          (default: %3); always no parity, 8 data bits,\n"
        "                          1 stop bit, XON/XOFF\n"
        "  -w, --wait              wait for the bootloader: reset the target when asked\n"
        "                          (default: command the running application to jump\n"
        "                          into its bootloader)\n"
        "  -l, --list-ports        print which device each Com number opens now, and exit\n"
        "\n"
        "Files (naming one or both ticks exactly those; otherwise the settings file's\n"
        "boxes apply):\n"
        "  -f, --flash FILE        the application (flash) file\n"
        "  -e, --eeprom FILE       the EEPROM file (needs bootloader version 1.3 or later)\n"
        "  -s, --settings FILE     start from this settings file instead of the defaults\n"
        "\n"
        "Protocol (any text; an empty text matches any answer):\n"
        "  --jump-command TEXT        makes the application jump to its bootloader (\"%4\")\n"
        "  --active-char TEXT         the bootloader is active (\"%5\")\n"
        "  --start-sequence TEXT      asks the bootloader whether it is ready (\"%6\")\n"
        "  --ready-char TEXT          the bootloader is ready (\"%7\")\n"
        "  --eeprom-write-char TEXT   announces an EEPROM file (\"%8\")\n"
        "  --line-complete-char TEXT  a line was written (\"%9\")\n"
        "  --page-error-char TEXT     a flash page could not be written (\"%10\")\n"
        "  --checksum-error-char TEXT a line had a checksum error (\"%11\")\n"
        "  --file-errors-char TEXT    the file is complete, with errors (\"%12\")\n"
        "  --file-ok-char TEXT        the file is complete, without errors (\"%13\")\n"
        "\n"
        "Questions (checksum error, flash write error, no response after a line):\n"
        "  --on-error continue|stop   answer them without asking. Without this option\n"
        "                          they are asked as y/N on the terminal; with no\n"
        "                          terminal the answer is stop.\n"
        "\n"
        "Output:\n"
        "  -q, --quiet             no status lines and no progress bar\n"
        "  -h, --help              print this help and exit\n"
        "  -V, --version           print the version and exit\n"
        "\n"
        "Status texts and a progress bar (lines done and remaining, percent, line rate,\n"
        "time left) go to standard error; the final message goes to standard output,\n"
        "failure messages to standard error. Ctrl-C or SIGTERM cancels: the download\n"
        "stops before its next line, the port is closed and the file released; a second\n"
        "Ctrl-C quits at once.\n"
        "\n");
    // One pass, so that a "%" in a default cannot be taken for a placeholder.
    // The ten rates take two lines of the help.
    const QString rates = QStringLiteral("one of ") + baudRateList();
    const qsizetype wrap = rates.indexOf(QStringLiteral("19200, ")) + 7;
    const QString wrappedRates = rates.left(wrap).trimmed() + QStringLiteral("\n                          ") + rates.mid(wrap);
    text = text.arg(QString::number(defaults.comPortIndex + 1), wrappedRates,
                    QString::number(baudRateEntry(defaults.baudRateIndex)), defaults.jumpToBootloaderCommand,
                    defaults.bootloaderActiveChar, defaults.startDownloadSequence, defaults.bootloaderReadyChar,
                    defaults.eepromWriteChar, defaults.lineCompleteChar, defaults.pageErrorChar,
                    defaults.checksumErrorChar, defaults.fileCompleteErrorsChar, defaults.fileCompleteOkChar);
    text += exitCodeTable();
    text += QStringLiteral(
        "\n"
        "Examples:\n"
        "  tarnwick-cli --port 1 --baud 19200 --flash app.hex\n"
        "  tarnwick-cli --port /dev/ttyUSB0 --eeprom data.eep --flash app.hex\n"
        "  tarnwick-cli --wait --port 2 --flash app.hex     (then reset the target)\n"
        "  tarnwick-cli --settings board.txt --on-error stop --quiet\n");
    return text;
}
