#include "raw_pty_host.h"
#include "support/hex_file_builder.h"

#include "sim/simulator_thread.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

Q_DECLARE_METATYPE(HexFileBuilder::LineEnding)
Q_DECLARE_METATYPE(HexFileBuilder::Addressing)
Q_DECLARE_METATYPE(FaultOptions)
Q_DECLARE_METATYPE(OutputOptions::ImageFormat)

namespace {

constexpr int Patience = 2000;  // ms: an answer that is due comes well within this

// Data that differs from byte to byte and from file to file.
QByteArray patternData(int size, int seed)
{
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + seed * 31 + (i >> 8)) & 0xFF);
    return data;
}

std::unique_ptr<SimulatorThread> startSim(const SimOptions &options)
{
    auto sim = std::make_unique<SimulatorThread>(options);
    QString error;
    if (!sim->start(&error)) {
        qWarning("cannot start the simulator: %s", qPrintable(error));
        return nullptr;
    }
    return sim;
}

SimOptions inBootloader()
{
    SimOptions options;
    options.startInBootloader = true;
    return options;
}

// Opens the device of a simulator that starts in its bootloader and asks it
// to receive: "^" on opening, then the start-download sequence.
bool openAndHandshake(SimulatorThread &sim, RawPtyHost &host)
{
    if (!host.open(sim.devicePath()))
        return false;
    if (host.readUntil("^", Patience) != "^")
        return false;
    host.write("@&$");
    return host.readUntil("?V1.3", Patience) == "?V1.3";
}

} // namespace

class TestSimulatedTarget : public QObject
{
    Q_OBJECT

private slots:
    void jumpCommandStartsTheBootloader_data();
    void jumpCommandStartsTheBootloader();
    void readyAnswer_data();
    void readyAnswer();
    void resetEntersTheBootloader();
    void nothingGoesOutBeforeTheHostOpens();
    void resetAfterTheHostOpens();
    void flashFile_data();
    void flashFile();
    void eepromFile_data();
    void eepromFile();
    void badRecords_data();
    void badRecords();
    void incompleteRecordIsAnsweredAfterSilence();
    void recordFaults_data();
    void recordFaults();
    void answerTiming_data();
    void answerTiming();
    void xoffHoldsTheHost_data();
    void xoffHoldsTheHost();
    void deviceVanishes();
    void beyondTheMemory();
    void imageFiles_data();
    void imageFiles();
    void programLinksAndEndsCleanly();
    void programRefusesBadOptions_data();
    void programRefusesBadOptions();
    void programHelpNamesEveryOption();

private:
    // Sends each record, resending (up to three sends in all) after a
    // checksum error or silence, like the download program; returns the
    // answers in order, "." for a send that got no answer within waitMs.
    static QByteArray sendRecords(RawPtyHost &host, const QList<QByteArray> &records,
                                  const QByteArray &between, int waitMs);
    QString programPath() const;
};

QByteArray TestSimulatedTarget::sendRecords(RawPtyHost &host, const QList<QByteArray> &records,
                                            const QByteArray &between, int waitMs)
{
    QByteArray answers;
    for (const QByteArray &record : records) {
        for (int send = 0; send < 3; ++send) {
            host.write(record + between);
            const QByteArray answer = host.readCount(1, waitMs);
            answers += answer.isEmpty() ? QByteArray(".") : answer;
            if (answer != "-" && !answer.isEmpty())
                break;
        }
    }
    return answers;
}

QString TestSimulatedTarget::programPath() const
{
    return QDir(qEnvironmentVariable("TARNWICK_BUILD_DIR", QCoreApplication::applicationDirPath() + "/.."))
        .filePath(QStringLiteral("tarnwick-sim"));
}

void TestSimulatedTarget::jumpCommandStartsTheBootloader_data()
{
    QTest::addColumn<QByteArray>("jump");
    QTest::addColumn<QByteArray>("active");
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<int>("startupMs");
    QTest::newRow("defaults") << QByteArray("$") << QByteArray("^") << QByteArray("@&$") << 50;
    QTest::newRow("several characters, longer start-up")
        << QByteArray("JMP") << QByteArray("BL!") << QByteArray("GO") << 120;
}

void TestSimulatedTarget::jumpCommandStartsTheBootloader()
{
    QFETCH(QByteArray, jump);
    QFETCH(QByteArray, active);
    QFETCH(QByteArray, start);
    QFETCH(int, startupMs);
    SimOptions options;
    options.chars.jumpCommand = jump;
    options.chars.activeChar = active;
    options.chars.startSequence = start;
    options.startupMs = startupMs;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(host.open(sim->devicePath()));

    // The application ignores everything but the jump command (a part of it
    // included).
    host.write("xyz\r\n" + jump.left(jump.size() - 1) + "@&\r\n");
    QCOMPARE(host.readFor(100), QByteArray());
    QCOMPARE(sim->state(), TargetState::Application);

    // The host in jump mode sends both at once: the start sequence arrives
    // during the start-up and is lost.
    QElapsedTimer timer;
    timer.start();
    host.write(jump + start);
    QCOMPARE(host.readUntil(active, Patience), active);
    QVERIFY2(timer.elapsed() >= startupMs - 1, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(host.readFor(50), QByteArray());
    QCOMPARE(sim->status().droppedBytes, int(start.size()));
    QCOMPARE(sim->state(), TargetState::BootloaderIdle);

    // Now the bootloader answers the start sequence, found anywhere in what
    // arrives (the jump command before it included).
    host.write(jump + start);
    QCOMPARE(host.readUntil("?V1.3", Patience), "?V1.3");
    QCOMPARE(sim->state(), TargetState::Receiving);
    QCOMPARE(sim->status().jumps, 1);
}

void TestSimulatedTarget::readyAnswer_data()
{
    QTest::addColumn<QByteArray>("ready");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("hasVersion");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("default") << QByteArray("?") << QByteArray("1.3") << true << QByteArray("?V1.3");
    QTest::newRow("other version text") << QByteArray("?") << QByteArray("2.05b") << true
                                        << QByteArray("?V2.05b");
    QTest::newRow("no version") << QByteArray("?") << QByteArray("1.3") << false << QByteArray("?");
    QTest::newRow("longer ready token") << QByteArray("RDY") << QByteArray("1.28") << true
                                        << QByteArray("RDYV1.28");
}

void TestSimulatedTarget::readyAnswer()
{
    QFETCH(QByteArray, ready);
    QFETCH(QByteArray, version);
    QFETCH(bool, hasVersion);
    QFETCH(QByteArray, expected);
    SimOptions options = inBootloader();
    options.chars.readyChar = ready;
    options.version = version;
    options.hasVersion = hasVersion;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(host.open(sim->devicePath()));
    QCOMPARE(host.readUntil("^", Patience), "^");

    host.write("@&$");
    // One write on the target's side, so it reaches the host in one piece.
    QCOMPARE(host.readFirstPiece(Patience), expected);
    QCOMPARE(host.readFor(50), QByteArray());
    QVERIFY(sim->waitForSent("^" + expected, Patience));
    bool oneWrite = false;
    const Transcript transcript = sim->transcript();
    for (const TranscriptEntry &entry : transcript.entries())
        oneWrite = oneWrite || (entry.kind == TranscriptEntry::Kind::Sent && entry.bytes == expected);
    QVERIFY(oneWrite);
    QCOMPARE(sim->status().readyAnswers, 1);
}

void TestSimulatedTarget::resetEntersTheBootloader()
{
    auto sim = startSim(SimOptions());
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(host.open(sim->devicePath()));
    QVERIFY(sim->waitForHost(true, Patience));

    // From the application.
    sim->reset();
    QCOMPARE(host.readUntil("^", Patience), "^");
    QCOMPARE(sim->state(), TargetState::BootloaderIdle);

    // In the middle of a file: the file is abandoned, the bootloader is idle
    // again and a new download starts with a new handshake.
    host.write("@&$");
    QCOMPARE(host.readUntil("?V1.3", Patience), "?V1.3");
    HexFileBuilder hex;
    hex.addData(0, patternData(32, 1));
    const QList<QByteArray> records = hex.records();
    QCOMPARE(sendRecords(host, records.mid(0, 1), "\r\n", Patience), "~");
    sim->reset();
    QCOMPARE(host.readUntil("^", Patience), "^");
    QCOMPARE(sim->state(), TargetState::BootloaderIdle);
    host.write(records.at(1));
    QCOMPARE(host.readFor(100), QByteArray());  // idle: records mean nothing
    host.write("@&$");
    QCOMPARE(host.readUntil("?V1.3", Patience), "?V1.3");
    QCOMPARE(sendRecords(host, records, "\r\n", Patience), "~~@");

    const TargetStatus status = sim->status();
    QCOMPARE(status.resets, 2);
    QCOMPARE(status.files.size(), 2);
    QVERIFY(!status.files.at(0).ended);
    QVERIFY(status.files.at(1).ended);
}

void TestSimulatedTarget::nothingGoesOutBeforeTheHostOpens()
{
    auto sim = startSim(inBootloader());
    QVERIFY(sim);
    sim->reset();  // a second reset before anyone listens
    QTest::qWait(60);
    QCOMPARE(sim->sent(), QByteArray());
    QCOMPARE(sim->state(), TargetState::BootloaderIdle);

    RawPtyHost host;
    QVERIFY(host.open(sim->devicePath()));
    QCOMPARE(host.readUntil("^^", Patience), "^^");
    QCOMPARE(host.readFor(50), QByteArray());
    QCOMPARE(sim->status().resets, 2);
}

void TestSimulatedTarget::resetAfterTheHostOpens()
{
    SimOptions options;
    options.resetAfterOpenMs = 80;
    auto sim = startSim(options);
    QVERIFY(sim);
    QTest::qWait(100);
    QCOMPARE(sim->sent(), QByteArray());

    // Every time the host opens the port, as for repeated "wait for
    // bootloader" downloads.
    for (int open = 1; open <= 2; ++open) {
        RawPtyHost host;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(host.open(sim->devicePath()));
        QCOMPARE(host.readUntil("^", Patience), "^");
        QVERIFY2(timer.elapsed() >= 75, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(sim->status().resets, open);
        host.close();
        QVERIFY(sim->waitForHost(false, Patience));
    }
}

void TestSimulatedTarget::flashFile_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("recordSize");
    QTest::addColumn<HexFileBuilder::Addressing>("addressing");
    QTest::addColumn<HexFileBuilder::LineEnding>("ending");
    using A = HexFileBuilder::Addressing;
    using E = HexFileBuilder::LineEnding;
    QTest::newRow("CR LF, from 0") << 0u << 100 << 16 << A::ExtendedLinear << E::CrLf;
    QTest::newRow("LF only, odd start") << 0x123u << 77 << 32 << A::ExtendedLinear << E::Lf;
    QTest::newRow("no line ends") << 0x40u << 64 << 16 << A::ExtendedLinear << E::None;
    QTest::newRow("extended linear, across 64 KiB") << 0x1FFE0u << 96 << 16 << A::ExtendedLinear << E::CrLf;
    QTest::newRow("extended segment, across 64 KiB") << 0x2FFF8u << 40 << 16 << A::ExtendedSegment
                                                     << E::CrLf;
}

void TestSimulatedTarget::flashFile()
{
    QFETCH(quint32, address);
    QFETCH(int, size);
    QFETCH(int, recordSize);
    QFETCH(HexFileBuilder::Addressing, addressing);
    QFETCH(HexFileBuilder::LineEnding, ending);
    auto sim = startSim(inBootloader());
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));

    const QByteArray data = patternData(size, 2);
    HexFileBuilder hex;
    hex.setAddressing(addressing).setRecordSize(recordSize).addData(address, data);
    const QList<QByteArray> records = hex.records();
    const QByteArray answers = sendRecords(host, records, HexFileBuilder::lineEnd(ending), Patience);
    QCOMPARE(answers, QByteArray(records.size() - 1, '~') + "@");

    const MemoryImage flash = sim->flash();
    QCOMPARE(flash.bytes(address, size), data);
    QCOMPARE(flash.writtenCount(), qint64(size));
    QCOMPARE(flash.end(), address + quint32(size));
    QVERIFY(sim->eeprom().isEmpty());
    const TargetStatus status = sim->status();
    QCOMPARE(status.state, TargetState::BootloaderIdle);  // the download is over
    QCOMPARE(status.files.size(), 1);
    QCOMPARE(status.files.at(0).memory, FileSummary::Memory::Flash);
    QCOMPARE(status.files.at(0).records, int(records.size()));
    QVERIFY(status.files.at(0).ended);
    QVERIFY(!status.files.at(0).endedWithErrors);
}

void TestSimulatedTarget::eepromFile_data()
{
    QTest::addColumn<bool>("flashFollows");
    QTest::newRow("EEPROM file alone") << false;
    QTest::newRow("EEPROM file, then the flash file") << true;
}

void TestSimulatedTarget::eepromFile()
{
    QFETCH(bool, flashFollows);
    auto sim = startSim(inBootloader());
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));

    const QByteArray eepromData = patternData(40, 3);
    const QByteArray flashData = patternData(48, 4);
    HexFileBuilder eepromHex;
    eepromHex.addData(0x10, eepromData);
    HexFileBuilder flashHex;
    flashHex.addData(0x200, flashData);

    host.write(flashFollows ? "*!" : "*");  // the announcement gets no answer
    QCOMPARE(sendRecords(host, eepromHex.records(), "\r\n", Patience), "~~~@");
    if (flashFollows) {
        // No new handshake: the next records are the flash file's.
        QCOMPARE(sim->state(), TargetState::Receiving);
        QCOMPARE(sendRecords(host, flashHex.records(), "\r\n", Patience), "~~~@");
    } else {
        QCOMPARE(sim->state(), TargetState::BootloaderIdle);
    }

    QCOMPARE(sim->eeprom().bytes(0x10, 40), eepromData);
    QCOMPARE(sim->eeprom().writtenCount(), qint64(40));
    const TargetStatus status = sim->status();
    QCOMPARE(status.files.first().memory, FileSummary::Memory::Eeprom);
    if (flashFollows) {
        QCOMPARE(sim->flash().bytes(0x200, 48), flashData);
        QCOMPARE(sim->flash().writtenCount(), qint64(48));
        QCOMPARE(status.files.size(), 2);
        QCOMPARE(status.files.at(1).memory, FileSummary::Memory::Flash);
        QCOMPARE(status.state, TargetState::BootloaderIdle);
    } else {
        QVERIFY(sim->flash().isEmpty());
        QCOMPARE(status.files.size(), 1);
    }
}

void TestSimulatedTarget::badRecords_data()
{
    const QByteArray good = HexFileBuilder::record(0x00, 0x0010, patternData(16, 5));
    QTest::addColumn<QByteArray>("bad");
    QTest::newRow("bad checksum") << HexFileBuilder::withBadChecksum(good);
    QTest::newRow("changed data, old checksum") << HexFileBuilder::withChangedData(good);
    QTest::newRow("not a hex digit") << HexFileBuilder::withBadDigit(good);
    QTest::newRow("unknown type") << HexFileBuilder::record(0x07, 0, QByteArray("\x01", 1));
    QTest::newRow("end of file with data") << HexFileBuilder::record(0x01, 0, QByteArray("\x01", 1));
    QTest::newRow("address record of one byte") << HexFileBuilder::record(0x04, 0, QByteArray("\x01", 1));
}

void TestSimulatedTarget::badRecords()
{
    QFETCH(QByteArray, bad);
    auto sim = startSim(inBootloader());
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));

    const QByteArray data = patternData(16, 5);
    const QByteArray good = HexFileBuilder::record(0x00, 0x0010, data);
    host.write(bad + "\r\n");
    QCOMPARE(host.readCount(1, Patience), "-");
    QCOMPARE(host.readFor(30), QByteArray());  // one answer per record
    QVERIFY(sim->flash().isEmpty());
    // The host's resend goes through, but the file reports that errors occurred.
    QCOMPARE(sendRecords(host, {good, HexFileBuilder::endOfFileRecord()}, "\r\n", Patience), "~#");
    QCOMPARE(sim->flash().bytes(0x10, 16), data);
    const TargetStatus status = sim->status();
    QCOMPARE(status.checksumErrorAnswers, 1);
    QVERIFY(status.files.at(0).endedWithErrors);
}

void TestSimulatedTarget::incompleteRecordIsAnsweredAfterSilence()
{
    SimOptions options = inBootloader();
    options.incompleteRecordMs = 80;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));

    const QByteArray good = HexFileBuilder::record(0x00, 0, patternData(16, 6));
    QElapsedTimer timer;
    timer.start();
    host.write(HexFileBuilder::truncated(good, 20));
    QCOMPARE(host.readCount(1, Patience), "-");
    QVERIFY2(timer.elapsed() >= 75, qPrintable(QString::number(timer.elapsed())));
    // A record cut short by the next start code is malformed at once.
    host.write(HexFileBuilder::truncated(good, 12) + good);
    QCOMPARE(host.readCount(2, Patience), "-~");
    QCOMPARE(sim->status().checksumErrorAnswers, 2);
}

void TestSimulatedTarget::recordFaults_data()
{
    QTest::addColumn<FaultOptions>("faults");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<int>("missingRecord");  // 0-based data record not stored, -1 none

    FaultOptions checksumOnce;
    checksumOnce.checksumErrorRecord = 2;
    QTest::newRow("checksum error once") << checksumOnce << QByteArray("~-~~#") << -1;
    FaultOptions checksumTwice = checksumOnce;
    checksumTwice.checksumErrorTimes = 2;
    QTest::newRow("checksum error twice") << checksumTwice << QByteArray("~--~~#") << -1;
    FaultOptions checksumThrice = checksumOnce;
    checksumThrice.checksumErrorTimes = 3;
    QTest::newRow("checksum error until the host gives up") << checksumThrice << QByteArray("~---~#") << 1;
    FaultOptions checksumAtEnd;
    checksumAtEnd.checksumErrorRecord = 4;
    QTest::newRow("checksum error on the end-of-file record") << checksumAtEnd << QByteArray("~~~-#") << -1;
    FaultOptions page;
    page.pageErrorRecord = 2;
    QTest::newRow("page error") << page << QByteArray("~%~#") << 1;
    FaultOptions silentOnce;
    silentOnce.silentRecord = 2;
    QTest::newRow("no answer once") << silentOnce << QByteArray("~.~~@") << -1;
    FaultOptions silentTwice;
    silentTwice.silentRecord = 3;
    silentTwice.silentTimes = 2;
    QTest::newRow("no answer twice") << silentTwice << QByteArray("~~..~@") << -1;
}

void TestSimulatedTarget::recordFaults()
{
    QFETCH(FaultOptions, faults);
    QFETCH(QByteArray, answers);
    QFETCH(int, missingRecord);
    SimOptions options = inBootloader();
    options.faults = faults;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));

    const QByteArray data = patternData(48, 7);
    HexFileBuilder hex;
    hex.addData(0, data);
    QCOMPARE(sendRecords(host, hex.records(), "\r\n", 150), answers);

    for (int record = 0; record < 3; ++record) {
        const QByteArray expected = record == missingRecord ? QByteArray(16, char(0xFF))
                                                            : data.mid(record * 16, 16);
        QCOMPARE(sim->flash().bytes(quint32(record * 16), 16), expected);
    }

    // Record numbers start again with the next download.
    host.write("@&$");
    QCOMPARE(host.readUntil("?V1.3", Patience), "?V1.3");
    QCOMPARE(sendRecords(host, hex.records(), "\r\n", 150), answers);
}

void TestSimulatedTarget::answerTiming_data()
{
    QTest::addColumn<int>("answerDelayMs");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("pageWriteMs");
    QTest::addColumn<QList<int>>("minimumMs");  // per record: 3 data records of 16 bytes, end of file
    QTest::newRow("no delays") << 0 << 0 << 0 << QList<int>{0, 0, 0, 0};
    QTest::newRow("answer delay") << 70 << 0 << 0 << QList<int>{70, 70, 70, 70};
    // Pages of 32 bytes: the second record fills page 0; the end of the file
    // writes the half-filled page 1.
    QTest::newRow("page write time") << 0 << 0 << 60 << QList<int>{0, 60, 0, 60};
    // 4800 baud: 43 characters of a record take 89.6 ms, the 11 of the
    // end-of-file record 22.9 ms, and the answer 2.1 ms more.
    QTest::newRow("wire time at 4800 baud") << 0 << 4800 << 0 << QList<int>{91, 91, 91, 25};
}

void TestSimulatedTarget::answerTiming()
{
    QFETCH(int, answerDelayMs);
    QFETCH(int, baud);
    QFETCH(int, pageWriteMs);
    QFETCH(QList<int>, minimumMs);
    SimOptions options = inBootloader();
    options.faults.answerDelayMs = answerDelayMs;
    options.baudRate = baud;
    options.faults.pageWriteMs = pageWriteMs;
    options.faults.pageSize = 32;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));

    HexFileBuilder hex;
    hex.addData(0, patternData(48, 8));
    const QList<QByteArray> records = hex.records();
    QCOMPARE(records.size(), minimumMs.size());
    QList<qint64> took;
    for (const QByteArray &record : records) {
        QElapsedTimer timer;
        timer.start();
        host.write(record);
        const QByteArray answer = host.readCount(1, Patience);
        took.append(timer.elapsed());
        QVERIFY(answer == "~" || answer == "@");
    }
    for (int i = 0; i < records.size(); ++i) {
        QVERIFY2(took.at(i) >= minimumMs.at(i) - 1,
                 qPrintable(QStringLiteral("record %1 answered after %2 ms").arg(i + 1).arg(took.at(i))));
    }
    // The answers without a delay came clearly sooner than the delayed ones.
    if (answerDelayMs == 0 && baud == 0 && pageWriteMs == 0) {
        for (qint64 t : took)
            QVERIFY2(t < 50, qPrintable(QString::number(t)));
    }
}

void TestSimulatedTarget::xoffHoldsTheHost_data()
{
    QTest::addColumn<bool>("hostHonoursXoff");
    QTest::newRow("host with XON/XOFF") << true;
    QTest::newRow("host ignoring XOFF") << false;
}

void TestSimulatedTarget::xoffHoldsTheHost()
{
    QFETCH(bool, hostHonoursXoff);
    SimOptions options = inBootloader();
    options.faults.xoffRecord = 1;
    options.faults.xoffHoldMs = 150;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(host.open(sim->devicePath(), hostHonoursXoff));
    QCOMPARE(host.readUntil("^", Patience), "^");
    host.write("@&$");
    QCOMPARE(host.readUntil("?V1.3", Patience), "?V1.3");

    HexFileBuilder hex;
    hex.addData(0, patternData(32, 9));
    const QList<QByteArray> records = hex.records();
    host.write(records.at(0));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(host.readUntil("~", Patience).left(1), "~");
    host.write(records.at(1));  // at once: held back by the driver, if it honours XOFF
    const QByteArray rest = host.readUntil("~", Patience);
    const qint64 secondAnswer = timer.elapsed();
    // The target is busy while it holds XOFF: the next answer comes after XON.
    QVERIFY2(secondAnswer >= 140, qPrintable(QString::number(secondAnswer)));
    QCOMPARE(sim->sent(), "^?V1.3~\x13\x11~");
    if (hostHonoursXoff) {
        // The driver consumed XOFF and XON and held the record back.
        QCOMPARE(rest, "~");
        QCOMPARE(sim->status().flowViolations, 0);
    } else {
        // XOFF and XON arrive as data; the record came in while XOFF held.
        QVERIFY(rest.endsWith("\x11~"));
        QCOMPARE(sim->status().flowViolations, int(records.at(1).size()));
    }
}

void TestSimulatedTarget::deviceVanishes()
{
    SimOptions options = inBootloader();
    options.faults.vanishRecord = 2;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));
    HexFileBuilder hex;
    hex.addData(0, patternData(48, 10));
    const QList<QByteArray> records = hex.records();
    QCOMPARE(sendRecords(host, records.mid(0, 1), "", Patience), "~");
    host.write(records.at(1));
    QVERIFY(sim->waitForState(TargetState::Vanished, Patience));
    host.readFor(100);
    QVERIFY(host.hungUp());
    QVERIFY(!QFileInfo::exists(sim->devicePath()));
    QCOMPARE(sim->flash().bytes(0, 32), patternData(48, 10).left(32));
}

void TestSimulatedTarget::beyondTheMemory()
{
    SimOptions options = inBootloader();
    options.flashSize = 0x100;
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));
    HexFileBuilder hex;
    hex.addData(0xF8, patternData(16, 11)).addData(0x10000, patternData(4, 12));
    QCOMPARE(sendRecords(host, hex.records(), "\r\n", Patience), "%~%#");
    QVERIFY(sim->flash().isEmpty());
}

void TestSimulatedTarget::imageFiles_data()
{
    QTest::addColumn<OutputOptions::ImageFormat>("format");
    QTest::newRow("binary") << OutputOptions::ImageFormat::Binary;
    QTest::newRow("Intel HEX") << OutputOptions::ImageFormat::IntelHex;
}

void TestSimulatedTarget::imageFiles()
{
    QFETCH(OutputOptions::ImageFormat, format);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimOptions options = inBootloader();
    options.output.format = format;
    options.output.flashPath = dir.filePath("flash.out");
    options.output.eepromPath = dir.filePath("eeprom.out");
    options.output.transcriptPath = dir.filePath("transcript.txt");
    auto sim = startSim(options);
    QVERIFY(sim);
    RawPtyHost host;
    QVERIFY(openAndHandshake(*sim, host));

    const QByteArray eepromData = patternData(20, 13);
    const QByteArray flashData = patternData(70, 14);
    HexFileBuilder eepromHex;
    eepromHex.addData(0x08, eepromData);
    HexFileBuilder flashHex;
    flashHex.addData(0x10100, flashData);
    host.write("*!");
    QCOMPARE(sendRecords(host, eepromHex.records() + flashHex.records(), "\r\n", Patience), "~~@~~~~~~@");
    sim->stop();
    QString error;
    QVERIFY2(sim->writeOutputs(&error), qPrintable(error));

    QFile flashFile(options.output.flashPath);
    QFile eepromFile(options.output.eepromPath);
    QVERIFY(flashFile.open(QIODevice::ReadOnly));
    QVERIFY(eepromFile.open(QIODevice::ReadOnly));
    if (format == OutputOptions::ImageFormat::Binary) {
        QCOMPARE(flashFile.readAll(), QByteArray(0x10100, char(0xFF)) + flashData);
        QCOMPARE(eepromFile.readAll(), QByteArray(0x08, char(0xFF)) + eepromData);
    } else {
        // The same text a HEX file of that data has, record for record.
        QCOMPARE(flashFile.readAll(), flashHex.text());
        QCOMPARE(eepromFile.readAll(), eepromHex.text());
    }
    QFile transcript(options.output.transcriptPath);
    QVERIFY(transcript.open(QIODevice::ReadOnly));
    const QByteArray text = transcript.readAll();
    QVERIFY(text.contains(" RX \"@&$\"\n"));
    QVERIFY(text.contains(" TX \"?V1.3\"\n"));
    QVERIFY(text.contains(" RX \"" + flashHex.records().first() + "\\r\\n\"\n"));
    QVERIFY(text.contains(" TX \"~\"\n"));
}

void TestSimulatedTarget::programLinksAndEndsCleanly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("com1");
    QVERIFY(QFileInfo::exists(programPath()));
    QProcess program;
    program.start(programPath(),
                  {"--link", link, "--in-bootloader", "--bootloader-version", "1.4", "--complete-ok",
                   "OK\\x21", "--flash-out", dir.filePath("flash.bin"), "--transcript",
                   dir.filePath("transcript.txt")});
    QVERIFY(program.waitForStarted());
    QVERIFY(program.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(program.readLine()).trimmed();
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    {
        RawPtyHost host;
        QVERIFY(host.open(link));
        QCOMPARE(host.readUntil("^", Patience), "^");
        host.write("$@&$");
        QCOMPARE(host.readUntil("?V1.4", Patience), "?V1.4");
        HexFileBuilder hex;
        hex.addData(0x10, patternData(32, 15));
        QCOMPARE(sendRecords(host, hex.records(), "\r\n", Patience), "~~OK!");
        ::kill(pid_t(program.processId()), SIGUSR1);  // reset
        QCOMPARE(host.readUntil("^", Patience), "^");
    }

    program.terminate();  // SIGTERM
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(link));
    QFile flash(dir.filePath("flash.bin"));
    QVERIFY(flash.open(QIODevice::ReadOnly));
    QCOMPARE(flash.readAll(), QByteArray(0x10, char(0xFF)) + patternData(32, 15));
    QFile transcript(dir.filePath("transcript.txt"));
    QVERIFY(transcript.open(QIODevice::ReadOnly));
    QVERIFY(transcript.readAll().contains(" TX \"OK!\"\n"));
}

void TestSimulatedTarget::programRefusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("rate not a number") << QStringList{"--baud", "fast"} << "--baud";
    QTest::newRow("negative start-up") << QStringList{"--startup-ms", "-5"} << "--startup-ms";
    QTest::newRow("unknown format") << QStringList{"--format", "srec"} << "--format";
    QTest::newRow("broken escape") << QStringList{"--ready", "\\x4"} << "--ready";
    QTest::newRow("unknown option") << QStringList{"--colour"} << "colour";
    QTest::newRow("link over a plain file") << QStringList{"--link", "PLAINFILE"} << "PLAINFILE";
}

void TestSimulatedTarget::programRefusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString plain = dir.filePath("com1");
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    arguments.replaceInStrings("PLAINFILE", plain);
    named.replace("PLAINFILE", plain);

    QProcess program;
    program.start(programPath(), arguments);
    QVERIFY(program.waitForFinished(5000));
    QVERIFY(program.exitCode() != 0);
    const QString message = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(message.contains(named), qPrintable(message));
    QVERIFY(program.readAllStandardOutput().isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "keep me");
}

void TestSimulatedTarget::programHelpNamesEveryOption()
{
    QProcess program;
    program.start(programPath(), {"--help"});
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QStringList options = {
        "--link", "--jump", "--active", "--start", "--ready", "--eeprom-write", "--line-complete",
        "--page-error", "--checksum-error", "--complete-errors", "--complete-ok",
        "--bootloader-version", "--no-version", "--in-bootloader", "--reset-after", "--startup-ms",
        "--baud", "--incomplete-ms", "--flash-size", "--eeprom-size", "--checksum-error-at",
        "--checksum-error-times", "--page-error-at", "--silent-at", "--silent-times", "--xoff-at",
        "--xoff-ms", "--vanish-at", "--answer-delay-ms", "--page-write-ms", "--page-size",
        "--flash-out", "--eeprom-out", "--format", "--transcript", "SIGUSR1", "SIGUSR2", "SIGTERM"};
    for (const QString &option : options)
        QVERIFY2(help.contains(option), qPrintable(option));
}

QTEST_GUILESS_MAIN(TestSimulatedTarget)
#include "test_simulated_target.moc"
