#pragma once

#include "download/download_run.h"
#include "platform/comm_port.h"
#include "sim/simulator_thread.h"
#include "support/headless_host.h"
#include "support/hex_file_builder.h"
#include "support/scaled_clock.h"
#include "support/scripted_prompt.h"
#include "support/file_helpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The engine with everything real but the window and the clock: a simulated
// target on a pseudo-terminal, the serial port control opening it as "Com 1",
// a headless host and scripted message boxes. The clock runs ten times as
// fast as real time, so a 2 to 3 s wait takes 200 to 300 ms.
class DownloadRig
{
public:
    explicit DownloadRig(const SimOptions &options = SimOptions(), int clockSpeed = 10)
        : sim(options)
        , host(prompt)
        , port([this](int number) { return number == 1 ? sim.devicePath() : QString(); })
        , clock(clockSpeed)
    {
        QString error;
        if (!sim.start(&error))
            qFatal("cannot start the simulated target: %s", qPrintable(error));
    }

    SimulatorThread sim;
    ScriptedPrompt prompt;
    HeadlessHost host;
    CommPort port;
    ScaledClock clock;
    QTemporaryDir dir;
    QString failureReason;

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        if (!::writeFile(path, content))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Ticks "Application Code" with a file of this content.
    void chooseFlash(const QByteArray &content, const QString &name = QStringLiteral("app.hex"))
    {
        host.settings.applicationFile = writeFile(name, content);
        host.settings.flashCheck = 1;
    }

    void chooseEeprom(const QByteArray &content, const QString &name = QStringLiteral("data.eep"))
    {
        host.settings.eepromFile = writeFile(name, content);
        host.settings.eepromCheck = 1;
    }

    DownloadOutcome run(qint16 mode = 0)
    {
        DownloadRun download(host, port, clock);
        const DownloadOutcome outcome = download.run(mode);
        failureReason = download.failureReason();
        return outcome;
    }

    // How often the target received this record.
    int sends(const QByteArray &record) const { return int(sim.received().count(record)); }
};

// Sample firmware: count bytes of data from a start address, in records of
// 16 bytes, ending with the end-of-file record.
inline QByteArray sampleData(int count, int seed = 1)
{
    QByteArray data(count, '\0');
    for (int i = 0; i < count; ++i)
        data[i] = char((i * 37 + seed * 11) & 0xff);
    return data;
}

inline HexFileBuilder sampleHex(int count, int seed = 1, quint32 address = 0)
{
    HexFileBuilder hex;
    hex.addData(address, sampleData(count, seed));
    return hex;
}
