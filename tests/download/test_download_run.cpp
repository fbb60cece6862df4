#include "download_rig.h"

#include "download/download_texts.h"

#include <sys/resource.h>

namespace T = DownloadTexts;

Q_DECLARE_METATYPE(DownloadOutcome)

namespace {

// CPU time of the calling thread: the engine's, not the simulator's.
double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestDownloadRun : public QObject
{
    Q_OBJECT

private slots:
    void completeDownloads_data();
    void completeDownloads();
    void jumpModeStatusesAndCounts();
    void waitModeDiscardsEarlierCharactersAndNeedsReset();
    void versionRules_data();
    void versionRules();
    void noBootloaderAnswer();
    void jumpModeKeepsAskingOnceTheApplicationAnswered();
    void neitherBoxTicked();
    void choiceCheck_data();
    void choiceCheck();
    void resendsAndQuestions_data();
    void resendsAndQuestions();
    void emptyLinesAndCounts_data();
    void emptyLinesAndCounts();
    void failures_data();
    void failures();
    void applicationFileMissingAfterEeprom();
    void portHeldByAnotherProgram();
    void deviceVanishesMidFile();
    void tooManyLines();
    void cancel_data();
    void cancel();
    void cancelDuringLastLineStillEndsTheFile();
    void answerTokensAreCopiedPerFile();
    void settingsOfThePortPersistAcrossRuns();
    void noAnswerAtTheEndOfTheFile();
    void waitingCostsAlmostNoCpu();
    void realClock();
};

void TestDownloadRun::completeDownloads_data()
{
    QTest::addColumn<bool>("flash");
    QTest::addColumn<bool>("eeprom");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("lineEnding");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("announcement");

    const int crlf = int(HexFileBuilder::LineEnding::CrLf);
    const int lf = int(HexFileBuilder::LineEnding::Lf);
    QTest::newRow("flash, jump mode") << true << false << 0 << crlf << T::FlashSuccess << QByteArray();
    QTest::newRow("EEPROM, jump mode") << false << true << 0 << crlf << T::EepromSuccess << QByteArray("*");
    QTest::newRow("both, jump mode") << true << true << 0 << crlf << T::BothSuccess << QByteArray("*!");
    QTest::newRow("both, LF line ends") << true << true << 0 << lf << T::BothSuccess << QByteArray("*!");
    QTest::newRow("flash, wait mode") << true << false << 1 << crlf << T::FlashSuccess << QByteArray();
    QTest::newRow("both, mode 5 is wait mode") << true << true << 5 << crlf << T::BothSuccess << QByteArray("*!");
}

// A whole download: what the target stored equals the files' data, the
// final message names what was sent, and everything is released.
void TestDownloadRun::completeDownloads()
{
    QFETCH(bool, flash);
    QFETCH(bool, eeprom);
    QFETCH(int, mode);
    QFETCH(int, lineEnding);
    QFETCH(QString, message);
    QFETCH(QByteArray, announcement);

    DownloadRig rig;
    const auto ending = HexFileBuilder::LineEnding(lineEnding);
    rig.host.settings.flashCheck = 0;
    if (flash)
        rig.chooseFlash(sampleHex(200, 1).setLineEnding(ending).text());
    if (eeprom)
        rig.chooseEeprom(sampleHex(40, 2).setLineEnding(ending).text());
    if (mode != 0) {
        // The user resets the target once the program waits for it.
        rig.host.onEvents = [&rig] {
            if (rig.host.status == T::WaitingForActive && rig.sim.status().resets == 0)
                rig.sim.reset();
        };
    }

    QCOMPARE(rig.run(qint16(mode)), DownloadOutcome::Success);
    QCOMPARE(rig.prompt.texts(), QStringList{message});
    QCOMPARE(rig.prompt.boxes.first().title, QStringLiteral("Tarnwick - V 2.0"));
    QCOMPARE(rig.prompt.boxes.first().icon, Prompt::Icon::None);
    QCOMPARE(rig.sim.flashImage(), flash ? sampleData(200, 1) : QByteArray());
    QCOMPARE(rig.sim.eepromImage(), eeprom ? sampleData(40, 2) : QByteArray());
    // The EEPROM file goes first, announced, and no line end ever reaches the
    // target.
    const QByteArray received = rig.sim.received();
    QVERIFY(!received.contains('\r') && !received.contains('\n'));
    if (!announcement.isEmpty()) {
        const qsizetype at = received.indexOf(announcement + ":");
        QVERIFY2(at >= 0, received.left(80).constData());
    } else {
        QVERIFY(!received.contains('*'));
    }
    QCOMPARE(rig.host.versionText, QStringLiteral("BootLoader Version: 1.3"));
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.host.busy);
    QCOMPARE(rig.host.journal.last(), QStringLiteral("idle"));
    // The message is shown while the port is still open; it closes after.
    QCOMPARE(rig.host.journal.at(rig.host.journal.size() - 2), QStringLiteral("inform: ") + message);
}

void TestDownloadRun::jumpModeStatusesAndCounts()
{
    DownloadRig rig;
    const HexFileBuilder hex = sampleHex(64); // four data records and the end record
    rig.chooseFlash(hex.text());
    QCOMPARE(rig.run(0), DownloadOutcome::Success);
    QCOMPARE(rig.host.statuses(),
             (QStringList{T::InitializingPort, T::RequestingAck + "1", T::MainCodeResponded, T::RequestingAck + "2",
                          // The active character is still in the reply.
                          T::MainCodeResponded, T::OpeningFile + rig.host.settings.applicationFile + ".",
                          T::SendingFlash}));
    // Five lines: the count shows one less, and the end shows 0.
    QVERIFY(rig.host.journal.contains(QStringLiteral("lines: 4")));
    QVERIFY(rig.host.journal.contains(QStringLiteral("linestext: 0")));
    QCOMPARE(rig.host.variables().LinesTotal, qint16(4));
    QCOMPARE(rig.host.variables().LinesRemaining, qint16(-1));
    QCOMPARE(rig.host.variables().DownloadPlan, qint16(2));
    // One request per try, the jump command and the ready request in one piece.
    QVERIFY(rig.sim.received().startsWith("$@&$"));
    for (const QByteArray &record : hex.records())
        QCOMPARE(rig.sends(record), 1);
}

void TestDownloadRun::waitModeDiscardsEarlierCharactersAndNeedsReset()
{
    DownloadRig rig;
    rig.chooseFlash(sampleHex(32).text());
    int passes = 0;
    rig.host.onEvents = [&] {
        ++passes;
        if (rig.host.status == T::WaitingForActive && passes == 30)
            rig.sim.reset();
    };
    QCOMPARE(rig.run(1), DownloadOutcome::Success);
    // Nothing is sent to the target until its bootloader has announced itself,
    // then only ready requests.
    QVERIFY(rig.sim.received().startsWith("@&$:"));
    const QStringList statuses = rig.host.statuses();
    QCOMPARE(statuses.mid(0, 3), (QStringList{T::InitializingPort, T::WaitingForActive, T::RequestingReady + "1"}));
    QVERIFY(passes >= 30);
}

void TestDownloadRun::versionRules_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("hasVersion");
    QTest::addColumn<int>("eepromCheck");
    QTest::addColumn<int>("flashCheck");
    QTest::addColumn<DownloadOutcome>("outcome");
    QTest::addColumn<QString>("label");

    const QString label = T::VersionLabel;
    QTest::newRow("1.3 takes EEPROM") << QByteArray("1.3") << true << 1 << 0 << DownloadOutcome::Success << label + "1.3";
    QTest::newRow("1.29 refuses EEPROM") << QByteArray("1.29") << true << 1 << 1 << DownloadOutcome::EepromRefused << label;
    QTest::newRow("no version refuses EEPROM") << QByteArray() << false << 1 << 0 << DownloadOutcome::EepromRefused << label;
    QTest::newRow("grey EEPROM box refused too") << QByteArray("1.2") << true << 2 << 1 << DownloadOutcome::EepromRefused << label;
    QTest::newRow("1.2 flash goes ahead by ticks") << QByteArray("1.2") << true << 0 << 1 << DownloadOutcome::Success << label;
    QTest::newRow("no version, flash goes ahead") << QByteArray() << false << 0 << 1 << DownloadOutcome::Success << label;
    QTest::newRow("version 2") << QByteArray("2") << true << 0 << 1 << DownloadOutcome::Success << label + "2";
    QTest::newRow("blanks inside") << QByteArray(" 1 .3") << true << 0 << 1 << DownloadOutcome::Success << label + "1.3";
    QTest::newRow("lower-case v is no marker") << QByteArray("v2") << true << 0 << 1 << DownloadOutcome::Success << label + "0";
}

void TestDownloadRun::versionRules()
{
    QFETCH(QByteArray, version);
    QFETCH(bool, hasVersion);
    QFETCH(int, eepromCheck);
    QFETCH(int, flashCheck);
    QFETCH(DownloadOutcome, outcome);
    QFETCH(QString, label);

    SimOptions options;
    options.version = version;
    options.hasVersion = hasVersion;
    DownloadRig rig(options);
    rig.chooseFlash(sampleHex(48, 3).text());
    rig.host.settings.flashCheck = flashCheck;
    rig.chooseEeprom(sampleHex(16, 4).text());
    rig.host.settings.eepromCheck = eepromCheck;
    if (version == "v2")
        label = T::VersionLabel; // read as no version at all: 0 is below 1.3 and not shown

    QCOMPARE(rig.run(0), outcome);
    QCOMPARE(rig.host.versionText, label);
    QVERIFY(rig.host.versionVisible);
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.host.busy);
    if (outcome == DownloadOutcome::EepromRefused) {
        QCOMPARE(rig.prompt.texts(), QStringList{T::EepromNotSupported});
        QCOMPARE(rig.host.settings.eepromCheck, 0);
        QVERIFY(rig.host.journal.indexOf("withdraw") < rig.host.journal.indexOf("inform: " + T::EepromNotSupported));
        QCOMPARE(rig.sim.status().recordsReceived, 0);
    } else {
        QCOMPARE(rig.sim.flashImage(), flashCheck ? sampleData(48, 3) : QByteArray());
        QCOMPARE(rig.sim.eepromImage(), eepromCheck ? sampleData(16, 4) : QByteArray());
    }
}

void TestDownloadRun::noBootloaderAnswer()
{
    SimOptions options;
    options.chars.jumpCommand = "J"; // the application never jumps
    DownloadRig rig(options);
    rig.chooseFlash(sampleHex(16).text());
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(rig.run(0), DownloadOutcome::NoBootloaderResponse);
    QCOMPARE(rig.prompt.texts(), QStringList{T::NoBootloaderResponse});
    QCOMPARE(rig.host.statuses().mid(1),
             (QStringList{T::RequestingAck + "1", T::RequestingAck + "2", T::RequestingAck + "3"}));
    QCOMPARE(rig.sim.received(), QByteArray("$@&$$@&$$@&$"));
    // Three waits of 2 to 3 clock seconds each.
    QVERIFY(elapsed.elapsed() >= 600);
    QVERIFY(!rig.port.portOpen());
    QCOMPARE(rig.host.journal.last(), QStringLiteral("idle"));
}

// Once the application has answered, the requests go on until the bootloader
// is ready or the user cancels.
void TestDownloadRun::jumpModeKeepsAskingOnceTheApplicationAnswered()
{
    SimOptions options;
    options.chars.startSequence = "never"; // the bootloader never gets its request
    DownloadRig rig(options);
    rig.chooseFlash(sampleHex(16).text());
    rig.host.onEvents = [&] {
        if (rig.host.journal.count("status: " + T::MainCodeResponded) >= 5)
            rig.host.variables().CancelRequested = -1;
    };
    QCOMPARE(rig.run(0), DownloadOutcome::Stopped);
    QVERIFY(rig.prompt.boxes.isEmpty());
    QVERIFY(!rig.host.journal.contains("status: " + T::RequestingAck + "3"));
    QVERIFY(rig.host.journal.count("status: " + T::RequestingAck + "2") >= 4);
    QVERIFY(!rig.port.portOpen());
}

void TestDownloadRun::neitherBoxTicked()
{
    DownloadRig rig;
    rig.host.settings.flashCheck = 0;
    QCOMPARE(rig.run(0), DownloadOutcome::NoFileChosen);
    QCOMPARE(rig.prompt.texts(), QStringList{T::CheckBox});
    const QStringList &journal = rig.host.journal;
    // The window is idle and the port closed before the message shows.
    QVERIFY(journal.indexOf("idle") < journal.indexOf("inform: " + T::CheckBox));
    QCOMPARE(journal.last(), QStringLiteral("focus"));
    QCOMPARE(rig.host.versionText, QStringLiteral("BootLoader Version: 1.3"));
    QCOMPARE(rig.sim.status().readyAnswers, 1);
    QVERIFY(!rig.port.portOpen());
}

void TestDownloadRun::choiceCheck_data()
{
    QTest::addColumn<int>("flashCheck");
    QTest::addColumn<QString>("application");
    QTest::addColumn<int>("eepromCheck");
    QTest::addColumn<QString>("eeprom");
    QTest::addColumn<QString>("message");

    QTest::newRow("EEPROM without name") << 0 << "app.hex" << 1 << "" << T::SelectEepromFile;
    QTest::newRow("application name of one character") << 1 << "a" << 0 << "" << T::SelectApplicationFile;
    QTest::newRow("both empty: application first") << 1 << "" << 1 << "" << T::SelectApplicationFile;
    QTest::newRow("both, EEPROM missing") << 1 << "app.hex" << 1 << "e" << T::SelectEepromFile;
    QTest::newRow("grey box counts as ticked") << 2 << "" << 0 << "" << T::SelectApplicationFile;
}

// A missing name ends the run before anything is touched.
void TestDownloadRun::choiceCheck()
{
    QFETCH(int, flashCheck);
    QFETCH(QString, application);
    QFETCH(int, eepromCheck);
    QFETCH(QString, eeprom);
    QFETCH(QString, message);

    DownloadRig rig;
    rig.host.settings.flashCheck = flashCheck;
    rig.host.settings.applicationFile = application;
    rig.host.settings.eepromCheck = eepromCheck;
    rig.host.settings.eepromFile = eeprom;
    QCOMPARE(rig.run(0), DownloadOutcome::ChoiceIncomplete);
    QCOMPARE(rig.host.journal, (QStringList{"inform: " + message, "focus"}));
    QVERIFY(!rig.sim.waitForHost(true, 100));
}

void TestDownloadRun::resendsAndQuestions_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<FaultOptions>("faults");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("sendsOfRecord2");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<DownloadOutcome>("outcome");

    const auto faults = [](auto set) {
        FaultOptions f;
        set(f);
        return f;
    };
    const QString checksum = T::ChecksumErrorAt + "2" + T::ContinueQuestion;
    const QString page = T::PageErrorAt + "2" + T::ContinueQuestion;
    const QString silent = T::NoResponseAfter + "2" + T::ContinueQuestion;

    // The target still reports the error at the end of the file.
    QTest::newRow("one checksum error: resent, no question")
        << QByteArray("1.3") << faults([](FaultOptions &f) { f.checksumErrorRecord = 2; })
        << QList<bool>{} << 2 << QStringList{T::FileErrors} << DownloadOutcome::FileCompleteWithErrors;
    QTest::newRow("three checksum errors, Yes")
        << QByteArray("1.3") << faults([](FaultOptions &f) { f.checksumErrorRecord = 2; f.checksumErrorTimes = 3; })
        << QList<bool>{true} << 3 << QStringList{checksum, T::FileErrors} << DownloadOutcome::FileCompleteWithErrors;
    QTest::newRow("three checksum errors, No")
        << QByteArray("1.3") << faults([](FaultOptions &f) { f.checksumErrorRecord = 2; f.checksumErrorTimes = 3; })
        << QList<bool>{false} << 3 << QStringList{checksum} << DownloadOutcome::Stopped;
    QTest::newRow("page error: not resent")
        << QByteArray("1.3") << faults([](FaultOptions &f) { f.pageErrorRecord = 2; })
        << QList<bool>{true} << 1 << QStringList{page, T::FileErrors} << DownloadOutcome::FileCompleteWithErrors;
    QTest::newRow("no answer three times")
        << QByteArray("1.3") << faults([](FaultOptions &f) { f.silentRecord = 2; f.silentTimes = 3; })
        << QList<bool>{true} << 3 << QStringList{silent, T::FlashSuccess} << DownloadOutcome::Success;
    QTest::newRow("no answer once: resent")
        << QByteArray("1.3") << faults([](FaultOptions &f) { f.silentRecord = 2; })
        << QList<bool>{} << 2 << QStringList{T::FlashSuccess} << DownloadOutcome::Success;
    QTest::newRow("old bootloader: checksum error asked at once")
        << QByteArray("1.2") << faults([](FaultOptions &f) { f.checksumErrorRecord = 2; })
        << QList<bool>{true} << 1 << QStringList{checksum, T::FileErrors} << DownloadOutcome::FileCompleteWithErrors;
    QTest::newRow("old bootloader: no answer is never asked")
        << QByteArray("1.2") << faults([](FaultOptions &f) { f.silentRecord = 2; })
        << QList<bool>{} << 1 << QStringList{T::FlashSuccess} << DownloadOutcome::Success;
}

void TestDownloadRun::resendsAndQuestions()
{
    QFETCH(QByteArray, version);
    QFETCH(FaultOptions, faults);
    QFETCH(QList<bool>, answers);
    QFETCH(int, sendsOfRecord2);
    QFETCH(QStringList, messages);
    QFETCH(DownloadOutcome, outcome);

    SimOptions options;
    options.version = version;
    options.faults = faults;
    DownloadRig rig(options);
    const HexFileBuilder hex = sampleHex(64, 5);
    rig.chooseFlash(hex.text());
    rig.prompt.answers = answers;

    QCOMPARE(rig.run(0), outcome);
    QCOMPARE(rig.prompt.texts(), messages);
    QCOMPARE(rig.sends(hex.records().at(1)), sendsOfRecord2);
    for (const ScriptedPrompt::Box &box : rig.prompt.boxes) {
        if (box.buttons == Prompt::Buttons::YesNo)
            QCOMPARE(box.icon, Prompt::Icon::None);
    }
    if (outcome == DownloadOutcome::Stopped)
        QCOMPARE(rig.sends(hex.records().at(2)), 0);
    // Whichever way the file ended, the count's refresh is off at rest.
    QVERIFY(!rig.host.linesTimerEnabled);
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.host.busy);
}

void TestDownloadRun::emptyLinesAndCounts_data()
{
    QTest::addColumn<QByteArray>("layout"); // R: the next record, _: an empty line
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("remainingAtEnd");
    QTest::addColumn<int>("questionLine"); // the record with a checksum error, numbered among the records

    QTest::newRow("no empty line") << QByteArray("RRRRR") << 4 << -1 << 3;
    QTest::newRow("empty last line") << QByteArray("RRRRR_") << 5 << 0 << 3;
    QTest::newRow("empty lines inside") << QByteArray("R_R__RRR") << 7 << 2 << 3;
}

// Empty lines are neither sent nor counted down; the questions number the
// lines among the non-empty ones.
void TestDownloadRun::emptyLinesAndCounts()
{
    QFETCH(QByteArray, layout);
    QFETCH(int, total);
    QFETCH(int, remainingAtEnd);
    QFETCH(int, questionLine);

    SimOptions options;
    options.faults.checksumErrorRecord = questionLine;
    options.faults.checksumErrorTimes = 3;
    DownloadRig rig(options);
    const QList<QByteArray> records = sampleHex(64, 6).records();
    QByteArray content;
    qsizetype next = 0;
    for (char c : layout)
        content += (c == 'R' ? records.at(next++) : QByteArray()) + "\r\n";
    rig.chooseFlash(content);

    QCOMPARE(rig.run(0), DownloadOutcome::FileCompleteWithErrors);
    QCOMPARE(rig.host.variables().LinesTotal, qint16(total));
    QCOMPARE(rig.host.variables().LinesRemaining, qint16(remainingAtEnd));
    QVERIFY(rig.host.journal.contains(QStringLiteral("lines: %1").arg(total)));
    QCOMPARE(rig.prompt.texts().first(), T::ChecksumErrorAt + QString::number(questionLine) + T::ContinueQuestion);
    QVERIFY(!rig.sim.received().contains("::"));
}

void TestDownloadRun::failures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message"); // %1: the file's name
    QTest::addColumn<DownloadOutcome>("outcome");

    QTest::newRow("no port chosen") << "noport" << T::PortAccessError << DownloadOutcome::PortAccessFailed;
    QTest::newRow("a port without a device") << "com2" << T::PortAccessError << DownloadOutcome::PortAccessFailed;
    QTest::newRow("missing file") << "missing" << T::ErrorOpening + "%1." << DownloadOutcome::OpeningFailed;
    QTest::newRow("a folder as file") << "folder" << T::ErrorOpening + "%1." << DownloadOutcome::OpeningFailed;
    QTest::newRow("binary file without line ends") << "binary" << T::FirmwareFileError << DownloadOutcome::FirmwareFileFailed;
}

void TestDownloadRun::failures()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(DownloadOutcome, outcome);

    DownloadRig rig;
    rig.chooseFlash(sampleHex(32).text());
    if (kind == "noport")
        rig.host.settings.comPortIndex = -1;
    else if (kind == "com2")
        rig.host.settings.comPortIndex = 1;
    else if (kind == "missing")
        rig.host.settings.applicationFile = rig.dir.filePath("missing.hex");
    else if (kind == "folder")
        rig.host.settings.applicationFile = rig.dir.path();
    else if (kind == "binary")
        rig.chooseFlash(QByteArray(200 * 1024, '\0'), "image.bin");

    // The port is closed before an opening failure's message, after the
    // firmware-file failure's.
    bool portOpenDuringMessage = false;
    rig.prompt.whileShown = [&](const ScriptedPrompt::Box &) { portOpenDuringMessage = rig.port.portOpen(); };

    QCOMPARE(rig.run(0), outcome);
    if (message.contains(u'%'))
        message = message.arg(rig.host.settings.applicationFile);
    QCOMPARE(rig.prompt.texts(), QStringList{message});
    QCOMPARE(rig.prompt.boxes.first().icon, Prompt::Icon::Exclamation);
    QCOMPARE(rig.prompt.boxes.first().title, QStringLiteral("Tarnwick - V 2.0"));
    QCOMPARE(portOpenDuringMessage, outcome == DownloadOutcome::FirmwareFileFailed);
    QVERIFY(!rig.failureReason.isEmpty());
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.host.busy);
    QCOMPARE(rig.host.journal.last(), QStringLiteral("idle"));
}

void TestDownloadRun::applicationFileMissingAfterEeprom()
{
    DownloadRig rig;
    rig.chooseEeprom(sampleHex(32, 7).text());
    rig.chooseFlash(sampleHex(32).text());
    QFile::remove(rig.host.settings.applicationFile);
    QCOMPARE(rig.run(0), DownloadOutcome::OpeningFailed);
    // The EEPROM file's outcome is never reported.
    QCOMPARE(rig.prompt.texts(), QStringList{T::ErrorOpening + rig.host.settings.applicationFile + "."});
    QCOMPARE(rig.sim.eepromImage(), sampleData(32, 7));
    QVERIFY(!rig.port.portOpen());
}

void TestDownloadRun::portHeldByAnotherProgram()
{
    DownloadRig rig;
    rig.chooseFlash(sampleHex(32).text());
    CommPort other([&](int) { return rig.sim.devicePath(); });
    other.setCommPort(1);
    other.setPortOpen(true);
    QCOMPARE(rig.run(0), DownloadOutcome::PortAccessFailed);
    QCOMPARE(rig.prompt.texts(), QStringList{T::PortAccessError});
    QVERIFY(!rig.host.busy);
    other.setPortOpen(false);
    // The program stays usable: the next run succeeds.
    rig.prompt.boxes.clear();
    QCOMPARE(rig.run(0), DownloadOutcome::Success);
}

void TestDownloadRun::deviceVanishesMidFile()
{
    SimOptions options;
    options.faults.vanishRecord = 3;
    DownloadRig rig(options);
    rig.chooseFlash(sampleHex(160).text());
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(rig.run(0), DownloadOutcome::FirmwareFileFailed);
    QCOMPARE(rig.prompt.texts(), QStringList{T::FirmwareFileError});
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.host.busy);
    QVERIFY2(elapsed.elapsed() < 5000, "the run must not hang on a vanished device");
}

// More than 32,767 lines overflow the 16-bit line count.
void TestDownloadRun::tooManyLines()
{
    DownloadRig rig;
    QByteArray content;
    const QByteArray record = HexFileBuilder::record(0x00, 0, "\x01");
    content.reserve(32768 * 17);
    for (int i = 0; i < 32768; ++i)
        content += record + "\n";
    rig.chooseFlash(content);
    QCOMPARE(rig.run(0), DownloadOutcome::FirmwareFileFailed);
    QCOMPARE(rig.prompt.texts(), QStringList{T::FirmwareFileError});
    QCOMPARE(rig.sim.status().recordsReceived, 0);
}

void TestDownloadRun::cancel_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("sendsOfRecord2");

    // In the clock wait the line is sent again until three sends are made,
    // each further wait ending at once; without an answer that asks.
    QTest::newRow("wait mode without a target") << "wait" << QByteArray("1.3") << QStringList{} << 0;
    QTest::newRow("answer wait by clock") << "line" << QByteArray("1.3")
                                          << QStringList{T::NoResponseAfter + "2" + T::ContinueQuestion} << 3;
    QTest::newRow("answer wait by ticks") << "line" << QByteArray("1.2") << QStringList{} << 1;
}

void TestDownloadRun::cancel()
{
    QFETCH(QString, where);
    QFETCH(QByteArray, version);
    QFETCH(QStringList, messages);
    QFETCH(int, sendsOfRecord2);

    SimOptions options;
    options.version = version;
    options.faults.silentRecord = 2;
    options.faults.silentTimes = 3;
    DownloadRig rig(options);
    const HexFileBuilder hex = sampleHex(64);
    rig.chooseFlash(hex.text());
    rig.prompt.defaultAnswer = true;
    int passes = 0;
    rig.host.onEvents = [&] {
        const bool waiting = where == "wait" ? rig.host.status == T::WaitingForActive
                                             : rig.sim.status().recordNumber == 2;
        if (waiting && ++passes == 3)
            rig.host.variables().CancelRequested = -1;
    };
    QCOMPARE(rig.run(where == "wait" ? 1 : 0), DownloadOutcome::Stopped);
    QCOMPARE(rig.prompt.texts(), messages);
    QCOMPARE(rig.sends(hex.records().at(1)), sendsOfRecord2);
    QCOMPARE(rig.sends(hex.records().at(2)), 0);
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.host.linesTimerEnabled);
    QCOMPARE(rig.host.journal.last(), QStringLiteral("idle"));

    // A request left over from this run does not stop the next one.
    QVERIFY(rig.host.variables().CancelRequested != 0);
    rig.host.onEvents = {};
    rig.prompt.boxes.clear();
    rig.sim.setFaults(FaultOptions());
    rig.sim.reset();
    if (where == "wait")
        rig.host.onEvents = [&] {
            if (rig.host.status == T::WaitingForActive && rig.sim.status().resets < 2)
                rig.sim.reset();
        };
    QCOMPARE(rig.run(where == "wait" ? 1 : 0), DownloadOutcome::Success);
}

// The end of the file is tested before Cancel: Cancel during the last line's
// answer still leads to the end-of-file exchange and its message.
void TestDownloadRun::cancelDuringLastLineStillEndsTheFile()
{
    DownloadRig rig;
    const HexFileBuilder hex = sampleHex(48);
    rig.chooseFlash(hex.text());
    rig.host.onEvents = [&] {
        if (rig.sim.status().recordsReceived == hex.records().size())
            rig.host.variables().CancelRequested = -1;
    };
    QCOMPARE(rig.run(0), DownloadOutcome::Success);
    QCOMPARE(rig.prompt.texts(), QStringList{T::FlashSuccess});
}

// Changing the answer characters while a file is sent does not affect it.
void TestDownloadRun::answerTokensAreCopiedPerFile()
{
    DownloadRig rig;
    rig.chooseFlash(sampleHex(96).text());
    rig.host.onEvents = [&] {
        if (rig.host.status == T::SendingFlash) {
            rig.host.settings.lineCompleteChar = QStringLiteral("X");
            rig.host.settings.fileCompleteOkChar = QStringLiteral("Y");
        }
    };
    QCOMPARE(rig.run(0), DownloadOutcome::Success);
    QCOMPARE(rig.prompt.texts(), QStringList{T::FlashSuccess});
}

// A baud rate outside the list writes nothing: the port keeps its settings.
void TestDownloadRun::settingsOfThePortPersistAcrossRuns()
{
    DownloadRig rig;
    rig.host.settings.flashCheck = 0;
    rig.host.settings.baudRateIndex = -1;
    QCOMPARE(rig.run(0), DownloadOutcome::NoFileChosen);
    QCOMPARE(rig.port.settings(), QStringLiteral("57600,n,8,1"));
    rig.host.settings.baudRateIndex = 9;
    rig.sim.reset();
    QCOMPARE(rig.run(0), DownloadOutcome::NoFileChosen);
    QCOMPARE(rig.port.settings(), QStringLiteral("115200,n,8,1"));
    rig.host.settings.baudRateIndex = 10;
    rig.sim.reset();
    QCOMPARE(rig.run(0), DownloadOutcome::NoFileChosen);
    QCOMPARE(rig.port.settings(), QStringLiteral("115200,n,8,1"));
}

// A file without an end-of-file record: every line is answered, the end
// never is.
void TestDownloadRun::noAnswerAtTheEndOfTheFile()
{
    DownloadRig rig;
    rig.chooseFlash(sampleHex(64).setEndOfFile(false).text());
    QCOMPARE(rig.run(0), DownloadOutcome::NoAnswerAtEnd);
    QCOMPARE(rig.prompt.texts(), QStringList{T::NoAnswerAtEnd});
    QCOMPARE(rig.prompt.boxes.first().icon, Prompt::Icon::None);
    QVERIFY(!rig.port.portOpen());
}

// A download that waits (here for a reset that does not come) sleeps between
// its checks instead of polling: a busy poll would use the whole second.
void TestDownloadRun::waitingCostsAlmostNoCpu()
{
    DownloadRig rig;
    rig.chooseFlash(sampleHex(16).text());
    QElapsedTimer wall;
    double cpuAtStart = -1;
    rig.host.onEvents = [&] {
        if (cpuAtStart < 0) {
            cpuAtStart = threadCpuSeconds();
            wall.start();
        } else if (wall.elapsed() >= 1000) {
            rig.host.variables().CancelRequested = -1;
        }
    };
    QCOMPARE(rig.run(1), DownloadOutcome::Stopped);
    const double cpu = threadCpuSeconds() - cpuAtStart;
    const double share = cpu / (double(wall.elapsed()) / 1000.0);
    QVERIFY2(share < 0.15, qPrintable(QStringLiteral("%1 % of a core while waiting").arg(share * 100, 0, 'f', 1)));
}

// On the real clock the end-of-file wait lasts 2 to 3 s when the end answer
// is the OK character, and ends at once on the errors character.
void TestDownloadRun::realClock()
{
    SimOptions options;
    DownloadRig rig(options);
    SystemClock clock;
    rig.chooseFlash(sampleHex(64).text());
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(DownloadRun(rig.host, rig.port, clock).run(0), DownloadOutcome::Success);
    QVERIFY2(elapsed.elapsed() >= 2000 && elapsed.elapsed() < 4500, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(rig.sim.flashImage(), sampleData(64));

    FaultOptions faults;
    faults.pageErrorRecord = 1;
    rig.sim.setFaults(faults);
    rig.sim.reset();
    elapsed.restart();
    QCOMPARE(DownloadRun(rig.host, rig.port, clock).run(0), DownloadOutcome::FileCompleteWithErrors);
    QVERIFY2(elapsed.elapsed() < 1500, qPrintable(QString::number(elapsed.elapsed())));
}

QTEST_GUILESS_MAIN(TestDownloadRun)
#include "test_download_run.moc"
