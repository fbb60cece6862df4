// tarnwick-cli as its users run it: a process of its own, talking to the
// simulated target over a pseudo-terminal.

#include "support/hex_file_builder.h"
#include "sim/simulator_thread.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string>
#include <unistd.h>

namespace {

struct CliResult
{
    bool finished = false;
    QProcess::ExitStatus status = QProcess::NormalExit;
    int exitCode = -1;
    QString out;
    QString err;
    qint64 elapsedMs = 0;
};

QString cliProgram()
{
    return qEnvironmentVariable("TARNWICK_BUILD_DIR") + QStringLiteral("/tarnwick-cli");
}

// Runs tarnwick-cli to its end, with no terminal on any stream.
CliResult runCli(const QStringList &arguments, const QString &program = cliProgram(), int timeoutMs = 30000)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start();
    CliResult result;
    result.finished = process.waitForStarted() && process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.elapsedMs = clock.elapsed();
    result.status = process.exitStatus();
    result.exitCode = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QString describe(const CliResult &result)
{
    return QStringLiteral("exit %1 (%2) after %3 ms\n--- stdout:\n%4--- stderr:\n%5")
        .arg(result.exitCode)
        .arg(result.status == QProcess::NormalExit ? "normal" : "crashed")
        .arg(result.elapsedMs)
        .arg(result.out, result.err);
}

// Deterministic bytes that differ from record to record.
QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + seed * 17 + i / 7) & 0xFF);
    return bytes;
}

QString writeHexFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    const QString path = dir.filePath(name);
    QString error;
    if (!HexFileBuilder().addData(0, data).writeFile(path, &error))
        qFatal("%s", qPrintable(error));
    return path;
}

// The bytes an Intel HEX file of data records from address 0 stands for; an
// independent reading of the shipped sample files.
QByteArray imageOfHexFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray image;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QByteArray record = QByteArray::fromHex(line.trimmed().mid(1));
        if (record.size() < 5 || record.at(3) != 0)
            continue;
        const int count = quint8(record.at(0));
        const int address = quint8(record.at(1)) * 256 + quint8(record.at(2));
        if (image.size() < address + count)
            image.append(QByteArray(address + count - image.size(), char(0xFF)));
        image.replace(address, count, record.mid(4, count));
    }
    return image;
}

bool processExists(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_flashData = pattern(16 * 24, 1);
    QByteArray m_eepromData = pattern(16 * 4, 2);
    QString m_flashFile;
    QString m_eepromFile;

    // A simulated target, started.
    std::unique_ptr<SimulatorThread> startTarget(const SimOptions &options = SimOptions())
    {
        auto target = std::make_unique<SimulatorThread>(options);
        QString error;
        if (!target->start(&error))
            qFatal("simulated target: %s", qPrintable(error));
        return target;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(cliProgram()), qPrintable(cliProgram() + " is not built"));
        QVERIFY(m_dir.isValid());
        m_flashFile = writeHexFile(m_dir, QStringLiteral("app.hex"), m_flashData);
        m_eepromFile = writeHexFile(m_dir, QStringLiteral("data.eep"), m_eepromData);
    }

    // Both files in wait mode, the target reset by its user once the port is
    // open: the shipped sample files arrive in the target as they stand in
    // the files, the EEPROM file first.
    void samplesInWaitModeWithReset()
    {
        const QString flash = QDir::cleanPath(QFINDTESTDATA("../../samples/application.hex"));
        const QString eeprom = QDir::cleanPath(QFINDTESTDATA("../../samples/eeprom.eep"));
        QVERIFY(!flash.isEmpty() && !eeprom.isEmpty());
        SimOptions options;
        options.resetAfterOpenMs = 300;
        auto target = startTarget(options);

        const CliResult result = runCli({"--wait", "--port", target->devicePath(), "--baud", "115200",
                                         "--eeprom", eeprom, "--flash", flash});
        QVERIFY2(result.exitCode == 0 && result.status == QProcess::NormalExit, qPrintable(describe(result)));
        QCOMPARE(result.out, QStringLiteral("Flash & EEPROM Files successfully downloaded.\n"));
        QCOMPARE(target->flashImage(), imageOfHexFile(flash));
        QCOMPARE(target->eepromImage(), imageOfHexFile(eeprom));
        QCOMPARE(target->status().files.size(), 2);
        QCOMPARE(target->status().files.at(0).memory, FileSummary::Memory::Eeprom);

        // What the user watched: the window's status texts in order, then a
        // complete bar for each file.
        const QStringList expected{"Initializing the com port",
                                   "Waiting for Bootloader Active Character...Reset target...",
                                   "Requesting Bootloader Ready.  Try #1", "BootLoader Version: 1.3",
                                   "Opening the file " + eeprom + '.', "Sending EEPROM File - lines remaining ",
                                   "Opening the file " + flash + '.', "Sending FLASH File - lines remaining "};
        qsizetype from = 0;
        for (const QString &line : expected) {
            const qsizetype at = result.err.indexOf(line + u'\n', from);
            QVERIFY2(at >= 0, qPrintable(line + "\nnot in order in:\n" + result.err));
            from = at + line.size();
        }
        QVERIFY2(result.err.contains("EEPROM [####################] 5/5 lines, 0 remaining, 100%"),
                 qPrintable(result.err));
        QVERIFY2(result.err.contains("FLASH  [####################] 65/65 lines, 0 remaining, 100%"),
                 qPrintable(result.err));
        // Not a terminal: plain lines, no carriage returns or escape codes.
        QVERIFY(!result.err.contains(u'\r') && !result.err.contains(u'\x1b'));
    }

    // "Com 3" is the device that the link com3 beside the program names, as
    // in the window; --list-ports shows it.
    void comNumberThroughTheProgramsFolder()
    {
        auto target = startTarget();
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("tarnwick-cli"));
        QVERIFY(QFile::copy(cliProgram(), program));
        QVERIFY(QFile::link(target->devicePath(), folder.filePath(QStringLiteral("com3"))));

        const CliResult list = runCli({"--list-ports"}, program);
        QCOMPARE(list.exitCode, 0);
        QVERIFY2(list.out.contains(QStringLiteral("\nCom 3  %1\n").arg(target->devicePath())), qPrintable(list.out));
        QCOMPARE(list.out.count(u'\n'), 8);

        const CliResult result = runCli({"-p", "3", "-f", m_flashFile, "--quiet"}, program);
        QVERIFY2(result.exitCode == 0, qPrintable(describe(result)));
        QCOMPARE(result.out, QStringLiteral("Flash File successfully downloaded.\n"));
        QCOMPARE(result.err, QString());
        QCOMPARE(target->flashImage(), m_flashData);
        QVERIFY(target->eepromImage().isEmpty());
    }

    // Every other way a download ends, each with its own exit status and the
    // window's message on the stream it belongs to.
    void exitStatus_data()
    {
        QTest::addColumn<QString>("version");         // the target's; "" for none
        QTest::addColumn<int>("checksumErrorRecord"); // answered "-" three times
        QTest::addColumn<int>("silentRecord");        // not answered
        QTest::addColumn<QStringList>("arguments");   // after --port
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errPattern");

        const QString flash = m_flashFile;
        QTest::newRow("1: the bootloader reports errors, --on-error continue")
            << "1.3" << 2 << 0 << QStringList{"--flash", flash, "--on-error", "continue"} << 1
            << "Error encountered while downloading file.\n"
            << "\nChecksum error at line 2\\. Continue with download\\? yes \\(--on-error continue\\)\n";
        QTest::newRow("2: no answer at the end of the file")
            << "1.2" << 0 << 25 << QStringList{"--flash", flash} << 2
            << "Error encountered while downloading file.  No response from bootloader at end of file.\n"
            << "";
        QTest::newRow("3: no response from the bootloader")
            << "1.3" << 0 << 0 << QStringList{"--flash", flash, "--active-char", "X", "--ready-char", "Z"} << 3
            << "No response from target bootloader.\n"
            << "Try #3\n";
        QTest::newRow("4: EEPROM refused by an old bootloader")
            << "1.29" << 0 << 0 << QStringList{"--eeprom", m_eepromFile} << 4
            << "Embedded Bootloader Version does not support EEPROM write.\n"
            << "";
        QTest::newRow("6: the firmware file cannot be opened")
            << "1.3" << 0 << 0 << QStringList{"--flash", m_dir.filePath("missing.hex")} << 6 << ""
            << "\nError opening " + QRegularExpression::escape(m_dir.filePath("missing.hex"))
                   + "\\.\ntarnwick-cli: .*missing\\.hex";
        QTest::newRow("7: --on-error stop")
            << "1.3" << 3 << 0 << QStringList{"--flash", flash, "--on-error", "stop"} << 7 << ""
            << "\nChecksum error at line 3\\. Continue with download\\? no \\(--on-error stop\\)\n";
        QTest::newRow("7: no terminal to ask, no option")
            << "1.3" << 4 << 0 << QStringList{"--flash", flash} << 7 << ""
            << "\nChecksum error at line 4\\. Continue with download\\? no \\(no terminal to ask; "
               "--on-error continue goes on\\)\n";
        QTest::newRow("64: no file named")
            << "1.3" << 0 << 0 << QStringList{"--settings", m_dir.filePath("noflash.txt")} << 64
            << "Select Application file to download.\n"
            << "--flash FILE";
    }

    void exitStatus()
    {
        QFETCH(QString, version);
        QFETCH(int, checksumErrorRecord);
        QFETCH(int, silentRecord);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, errPattern);

        // A settings file as the window writes it: "Application Code" ticked,
        // no name.
        QFile settings(m_dir.filePath("noflash.txt"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("2\r\n9\r\n\"\"\r\n\"@&$\"\r\n\"?\"\r\n\"$\"\r\n\"^\"\r\n\"%\"\r\n\"#\"\r\n\"@\"\r\n\"-\"\r\n"
                       "\"~\"\r\n\"\"\r\n\"*\"\r\n0\r\n1\r\n");
        settings.close();

        SimOptions options;
        options.version = version.toLatin1();
        options.faults.checksumErrorRecord = checksumErrorRecord;
        options.faults.checksumErrorTimes = 3;
        options.faults.silentRecord = silentRecord;
        options.faults.silentTimes = 3;
        auto target = startTarget(options);

        const CliResult result = runCli(QStringList{"--port", target->devicePath()} + arguments);
        QVERIFY2(result.exitCode == exitCode && result.status == QProcess::NormalExit, qPrintable(describe(result)));
        QCOMPARE(result.out, out);
        QVERIFY2(result.err.contains(QRegularExpression(errPattern)), qPrintable(describe(result)));
        QVERIFY2(target->waitForHost(false, 2000), "the port is still open");
    }

    void portErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("detail");
        QTest::newRow("no such device") << QStringList{"--port", "/dev/tarnwick-no-such-tty", "--flash", "x.hex"}
                                        << "/dev/tarnwick-no-such-tty";
        QTest::newRow("Com number without a device")
            << QStringList{"--port", "8", "--flash", "x.hex"} << "see tarnwick-cli --list-ports";
    }

    // A port that cannot be opened: the window's message, then which port and why.
    void portErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, detail);
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("tarnwick-cli"));
        QVERIFY(QFile::copy(cliProgram(), program));
        // Com 8 stays free only where the machine has fewer serial ports.
        if (arguments.at(1) == QLatin1String("8")) {
            const CliResult list = runCli({"--list-ports"}, program);
            if (!list.out.contains(QStringLiteral("Com 8  (no device)")))
                QSKIP("this machine has eight serial ports");
        }
        const CliResult result = runCli(arguments, program);
        QVERIFY2(result.exitCode == 5, qPrintable(describe(result)));
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.contains(QStringLiteral("\nError encountered while accessing the com port.\n"
                                                    "tarnwick-cli: ")),
                 qPrintable(result.err));
        QVERIFY2(result.err.contains(detail), qPrintable(result.err));
    }

    // Ctrl-C and SIGTERM are the Cancel button: the download stops before its
    // next line, the port is closed (another download can open it at once),
    // and the process is gone.
    void signalStopsTheDownload_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void signalStopsTheDownload()
    {
        QFETCH(int, signalNumber);
        SimOptions options;
        options.faults.answerDelayMs = 15;
        auto target = startTarget(options);
        QTemporaryDir dir;
        const QString bigFile = writeHexFile(dir, QStringLiteral("big.hex"), pattern(16 * 400, 3));

        QProcess process;
        process.start(cliProgram(), {"--port", target->devicePath(), "--flash", bigFile});
        QVERIFY(process.waitForStarted());
        const qint64 pid = process.processId();
        QVERIFY2(target->waitForRecords(20, 10000), qPrintable(process.readAllStandardError()));
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(pid), signalNumber);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 7);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(err.contains("tarnwick-cli: stopping before the next line"), err.constData());
        QVERIFY(target->status().recordsReceived < 200);
        QVERIFY(target->waitForHost(false, 2000));
        QVERIFY(!processExists(pid));

        // The port and its lock are free again. The target is left in the
        // middle of a file, so its user resets it first.
        target->reset();
        // (The end answer doubles as the errors answer, so the end of the file
        // takes no wait.)
        const CliResult next = runCli({"--port", target->devicePath(), "--flash", m_flashFile, "--quiet",
                                       "--file-errors-char", "@"});
        QVERIFY2(next.exitCode == 0, qPrintable(describe(next)));
    }

    // During the end-of-file wait no cancel point comes for a few seconds; a
    // second Ctrl-C ends the program at once.
    void secondInterruptQuitsAtOnce()
    {
        auto target = startTarget();
        QProcess process;
        process.start(cliProgram(), {"--port", target->devicePath(), "--flash", m_flashFile});
        QVERIFY(process.waitForStarted());
        QVERIFY(target->waitUntil([](const TargetStatus &status) { return status.filesEnded() == 1; }, 10000));
        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(process.processId()), SIGINT);
        QTest::qWait(50);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(5000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        QVERIFY(target->waitForHost(false, 2000));
    }

    // On a terminal the questions are asked as y/N and the answer typed is
    // taken; Enter alone is No.
    void questionsOnATerminal_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::newRow("y: go on; the file ends with errors") << QByteArray("y\n") << 1
                                                            << "Error encountered while downloading file.\n";
        QTest::newRow("Enter: stop") << QByteArray("\n") << 7 << "";
    }

    void questionsOnATerminal()
    {
        QFETCH(QByteArray, typed);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        SimOptions options;
        options.faults.checksumErrorRecord = 5;
        options.faults.checksumErrorTimes = 3;
        auto target = startTarget(options);

        // A terminal in its usual mode, as standard input and standard error.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const std::string slave = ::ptsname(master);
        QProcess process;
        process.setChildProcessModifier([slave] {
            const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
            if (fd >= 0) {
                ::dup2(fd, STDIN_FILENO);
                ::dup2(fd, STDERR_FILENO);
            }
        });
        process.start(cliProgram(), {"--port", target->devicePath(), "--flash", m_flashFile});
        QVERIFY(process.waitForStarted());

        const QByteArray question = "Checksum error at line 5. Continue with download? [y/N] ";
        QByteArray screen;
        QElapsedTimer clock;
        clock.start();
        while (!screen.endsWith(question) && clock.elapsed() < 15000) {
            pollfd fd{master, POLLIN, 0};
            if (::poll(&fd, 1, 100) > 0) {
                char buffer[512];
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n > 0)
                    screen.append(buffer, n);
            }
        }
        QVERIFY2(screen.endsWith(question), screen.constData());
        // On a terminal the bar is redrawn in place.
        QVERIFY2(screen.contains("\rFLASH  ["), screen.constData());
        QVERIFY(::write(master, typed.constData(), size_t(typed.size())) == typed.size());
        // Keep the terminal drained, so the program never blocks on it.
        while (process.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
            process.waitForFinished(100);
            char buffer[512];
            pollfd fd{master, POLLIN, 0};
            while (::poll(&fd, 1, 0) > 0 && ::read(master, buffer, sizeof buffer) > 0) {
            }
        }
        ::close(master);
        QCOMPARE(process.state(), QProcess::NotRunning);
        QCOMPARE(process.exitCode(), exitCode);
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), out);
    }

    // A bad command line: one line that says what is wrong, the usage, the
    // usage exit status, and nothing done.
    void badCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "tarnwick-cli: Unknown option 'bogus'.";
        QTest::newRow("rate") << QStringList{"--baud", "300", "--flash", "a.hex"}
                              << "tarnwick-cli: --baud 300: the rate must be one of 1200, 2400, 4800, 9600, "
                                 "14400, 19200, 38400, 56000, 57600, 115200";
        QTest::newRow("Com number") << QStringList{"--port", "9"} << "tarnwick-cli: --port 9: a Com number is 1 to 8";
        QTest::newRow("stray file name") << QStringList{"app.hex"}
                                         << "tarnwick-cli: unexpected argument 'app.hex'; files are named with "
                                            "--flash or --eeprom";
    }

    void badCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, firstLine);
        const CliResult result = runCli(arguments);
        QCOMPARE(result.exitCode, 64);
        QCOMPARE(result.out, QString());
        const QStringList lines = result.err.split(u'\n');
        QCOMPARE(lines.value(0), firstLine);
        QVERIFY(lines.value(1).startsWith(QStringLiteral("Usage: tarnwick-cli ")));
    }

    void helpAndUnreadableSettings()
    {
        const CliResult help = runCli({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(QStringLiteral("Usage: tarnwick-cli")));
        QVERIFY(help.out.contains(QStringLiteral("Exit status:")));
        QCOMPARE(help.err, QString());

        const QString missing = m_dir.filePath(QStringLiteral("nowhere/board.txt"));
        const CliResult settings = runCli({"--settings", missing, "--flash", m_flashFile, "--port", "/dev/null"});
        QVERIFY2(settings.exitCode == 6, qPrintable(describe(settings)));
        QVERIFY2(settings.err.startsWith(QStringLiteral("tarnwick-cli: cannot use the settings file ") + missing),
                 qPrintable(settings.err));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
