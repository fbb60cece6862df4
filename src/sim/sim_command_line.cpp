#include "sim/sim_command_line.h"

#include "sim/escaped_text.h"

#include <QCommandLineParser>

#include <cmath>
#include <functional>
#include <limits>

namespace {

struct CharOption
{
    const char *name;
    QByteArray ProtocolChars::*field;
    const char *role;
};

const CharOption charOptions[] = {
    {"jump", &ProtocolChars::jumpCommand, "jump command the application listens for"},
    {"active", &ProtocolChars::activeChar, "bootloader-active character"},
    {"start", &ProtocolChars::startSequence, "start-download sequence"},
    {"ready", &ProtocolChars::readyChar, "bootloader-ready character"},
    {"eeprom-write", &ProtocolChars::eepromWriteChar, "EEPROM-write announcement"},
    {"line-complete", &ProtocolChars::lineComplete, "line-complete answer"},
    {"page-error", &ProtocolChars::pageError, "page-error answer"},
    {"checksum-error", &ProtocolChars::checksumError, "checksum-error answer"},
    {"complete-errors", &ProtocolChars::fileCompleteErrors, "file-complete-with-errors answer"},
    {"complete-ok", &ProtocolChars::fileCompleteOk, "file-complete-OK answer"},
};

struct NumberOption
{
    const char *name;
    const char *valueName;
    std::function<int &(SimOptions &)> field;
    qint64 minimum;
    qint64 maximum;
    const char *description;
};

QList<NumberOption> numberOptions()
{
    constexpr qint64 Big = std::numeric_limits<int>::max();
    return {
        {"startup-ms", "MS", [](SimOptions &o) -> int & { return o.startupMs; }, 0, Big,
         "Start-up time of the bootloader after the jump command; bytes arriving meanwhile are "
         "lost."},
        {"baud", "RATE", [](SimOptions &o) -> int & { return o.baudRate; }, 0, 10000000,
         "Serial wire time of this rate in both directions (10 bit times per byte; an answer "
         "arrives in one piece when all its bytes have crossed the wire). 0: none."},
        {"incomplete-ms", "MS", [](SimOptions &o) -> int & { return o.incompleteRecordMs; }, 1, Big,
         "Silence after which a record that stopped arriving is answered as malformed."},
        {"checksum-error-at", "N", [](SimOptions &o) -> int & { return o.faults.checksumErrorRecord; }, 0,
         Big, "Answer record N with the checksum-error character (records count from 1 in each "
         "download; a resend keeps its record's number)."},
        {"checksum-error-times", "K", [](SimOptions &o) -> int & { return o.faults.checksumErrorTimes; }, 1,
         Big, "How many times in a row record N gets the checksum error."},
        {"page-error-at", "N", [](SimOptions &o) -> int & { return o.faults.pageErrorRecord; }, 0, Big,
         "Answer data record N with the page-error character and drop its data."},
        {"silent-at", "N", [](SimOptions &o) -> int & { return o.faults.silentRecord; }, 0, Big,
         "Do not answer record N (its data is lost until resent)."},
        {"silent-times", "K", [](SimOptions &o) -> int & { return o.faults.silentTimes; }, 1, Big,
         "How many times in a row record N goes unanswered."},
        {"xoff-at", "N", [](SimOptions &o) -> int & { return o.faults.xoffRecord; }, 0, Big,
         "After answering record N send XOFF (0x13), then XON (0x11) after --xoff-ms."},
        {"xoff-ms", "T", [](SimOptions &o) -> int & { return o.faults.xoffHoldMs; }, 0, Big,
         "How long XOFF is held."},
        {"vanish-at", "N", [](SimOptions &o) -> int & { return o.faults.vanishRecord; }, 0, Big,
         "After answering record N the device disappears and the program ends."},
        {"answer-delay-ms", "MS", [](SimOptions &o) -> int & { return o.faults.answerDelayMs; }, 0, Big,
         "Every answer to the host leaves this much later."},
        {"page-write-ms", "MS", [](SimOptions &o) -> int & { return o.faults.pageWriteMs; }, 0, Big,
         "Time to write one flash page; the answer to the record that fills or leaves a page (and "
         "to the end-of-file record when a page is pending) waits for it."},
        {"page-size", "BYTES", [](SimOptions &o) -> int & { return o.faults.pageSize; }, 1, Big,
         "Flash page size for --page-write-ms."},
    };
}

bool parseNumber(const QString &text, qint64 minimum, qint64 maximum, qint64 *value)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok, 0);
    if (!ok || n < minimum || n > maximum)
        return false;
    *value = n;
    return true;
}

QString defaultOf(const NumberOption &option)
{
    SimOptions defaults;
    return QString::number(option.field(defaults));
}

void addOptions(QCommandLineParser &parser)
{
    const SimOptions defaults;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("link"),
                      QStringLiteral("Make PATH a symbolic link to the device while the simulator runs "
                                     "(e.g. <program folder>/com1 to appear as \"Com 1\"). An old link "
                                     "there is replaced; the link is removed on exit."),
                      QStringLiteral("PATH")});
    for (const CharOption &option : charOptions) {
        parser.addOption({QString::fromLatin1(option.name),
                          QStringLiteral("The %1 (default \"%2\").")
                              .arg(QString::fromLatin1(option.role),
                                   QString::fromLatin1(escapedText(defaults.chars.*option.field))),
                          QStringLiteral("TEXT")});
    }
    parser.addOption({QStringLiteral("bootloader-version"),
                      QStringLiteral("Version text sent after \"V\" in the ready answer (default \"%1\").")
                          .arg(QString::fromLatin1(defaults.version)),
                      QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("no-version"),
                      QStringLiteral("Answer the ready character alone, like a bootloader without a version.")});
    parser.addOption({QStringLiteral("in-bootloader"),
                      QStringLiteral("Start in the bootloader, as after a reset: the active character "
                                     "goes out when a host opens the port. Default: start in the "
                                     "application, which waits for the jump command.")});
    parser.addOption({QStringLiteral("reset-after"),
                      QStringLiteral("Reset the target SECONDS (decimals allowed) after each time a host "
                                     "opens the port, as a user would for \"Wait for Bootloader\". "
                                     "SIGUSR1 resets at any time."),
                      QStringLiteral("SECONDS")});
    parser.addOption({QStringLiteral("flash-size"),
                      QStringLiteral("Flash size in bytes (default %1); records beyond it get the "
                                     "page-error answer.").arg(defaults.flashSize),
                      QStringLiteral("BYTES")});
    parser.addOption({QStringLiteral("eeprom-size"),
                      QStringLiteral("EEPROM size in bytes (default %1).").arg(defaults.eepromSize),
                      QStringLiteral("BYTES")});
    for (const NumberOption &option : numberOptions()) {
        parser.addOption({QString::fromLatin1(option.name),
                          QStringLiteral("%1 (default %2)")
                              .arg(QString::fromLatin1(option.description), defaultOf(option)),
                          QString::fromLatin1(option.valueName)});
    }
    parser.addOption({QStringLiteral("flash-out"),
                      QStringLiteral("Write the flash image to FILE on exit and on SIGUSR2."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("eeprom-out"),
                      QStringLiteral("Write the EEPROM image to FILE on exit and on SIGUSR2."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("format"),
                      QStringLiteral("Image file format: \"bin\" (memory from address 0 to the last byte "
                                     "written, gaps 0xFF; default) or \"hex\" (Intel HEX of the bytes "
                                     "written)."),
                      QStringLiteral("bin|hex")});
    parser.addOption({QStringLiteral("transcript"),
                      QStringLiteral("Write every byte received and sent, with timestamps, to FILE on "
                                     "exit and on SIGUSR2."),
                      QStringLiteral("FILE")});
}

} // namespace

bool parseSimCommandLine(const QStringList &arguments, SimCommandLine *result, QString *error)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    SimCommandLine line;
    line.helpRequested = parser.isSet(QStringLiteral("help"));
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return false;
    }
    SimOptions &options = line.options;
    line.linkPath = parser.value(QStringLiteral("link"));

    for (const CharOption &option : charOptions) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name))
            continue;
        QString problem;
        if (!unescapeText(parser.value(name), &(options.chars.*option.field), &problem)) {
            *error = QStringLiteral("--%1: %2").arg(name, problem);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("bootloader-version")))
        options.version = parser.value(QStringLiteral("bootloader-version")).toUtf8();
    options.hasVersion = !parser.isSet(QStringLiteral("no-version"));
    options.startInBootloader = parser.isSet(QStringLiteral("in-bootloader"));

    if (parser.isSet(QStringLiteral("reset-after"))) {
        bool ok = false;
        const double seconds = parser.value(QStringLiteral("reset-after")).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 1e6) {
            *error = QStringLiteral("--reset-after: \"%1\" is not a number of seconds")
                         .arg(parser.value(QStringLiteral("reset-after")));
            return false;
        }
        options.resetAfterOpenMs = int(std::lround(seconds * 1000));
    }

    const struct
    {
        const char *name;
        quint32 *field;
    } sizes[] = {{"flash-size", &options.flashSize}, {"eeprom-size", &options.eepromSize}};
    for (const auto &size : sizes) {
        const QString name = QString::fromLatin1(size.name);
        if (!parser.isSet(name))
            continue;
        qint64 value = 0;
        // Bounded so that a full image still fits a byte array.
        if (!parseNumber(parser.value(name), 1, qint64(1) << 30, &value)) {
            *error = QStringLiteral("--%1: \"%2\" is not a size from 1 to 1073741824")
                         .arg(name, parser.value(name));
            return false;
        }
        *size.field = quint32(value);
    }

    for (const NumberOption &option : numberOptions()) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name))
            continue;
        qint64 value = 0;
        if (!parseNumber(parser.value(name), option.minimum, option.maximum, &value)) {
            *error = QStringLiteral("--%1: \"%2\" is not a whole number from %3 to %4")
                         .arg(name, parser.value(name))
                         .arg(option.minimum)
                         .arg(option.maximum);
            return false;
        }
        option.field(options) = int(value);
    }

    options.output.flashPath = parser.value(QStringLiteral("flash-out"));
    options.output.eepromPath = parser.value(QStringLiteral("eeprom-out"));
    options.output.transcriptPath = parser.value(QStringLiteral("transcript"));
    if (parser.isSet(QStringLiteral("format"))) {
        const QString format = parser.value(QStringLiteral("format"));
        if (format == QLatin1String("bin")) {
            options.output.format = OutputOptions::ImageFormat::Binary;
        } else if (format == QLatin1String("hex")) {
            options.output.format = OutputOptions::ImageFormat::IntelHex;
        } else {
            *error = QStringLiteral("--format: \"%1\" is neither \"bin\" nor \"hex\"").arg(format);
            return false;
        }
    }

    *result = line;
    return true;
}

QString simHelpText()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated microcontroller with a serial bootloader, on a pseudo-terminal.\n"
                       "Prints the device path, then answers the download program until SIGINT or "
                       "SIGTERM.\nSIGUSR1 resets the target (it enters its bootloader and sends the "
                       "active character);\nSIGUSR2 writes the image and transcript files now.\n"
                       "TEXT options take the escapes \\\\ \\r \\n \\t and \\xNN, and may be "
                       "empty or several characters long."));
    addOptions(parser);
    return parser.helpText();
}
