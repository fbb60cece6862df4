// Downloads a generated HEX file of 4,096 data records (64 KiB) to the
// simulated target over a pseudo-terminal and compares the engine's line loop
// with a bare reference loop (write a line, block until the one-character
// answer) on the same pseudo-terminal and simulator, first with immediate
// answers, then with answers 1 ms late (about a line's wire time at 115200
// baud). Prints seconds per 1,000 lines, their ratio and the engine's CPU time.

#include "download/download_run.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "sim/simulator_thread.h"
#include "support/headless_host.h"
#include "support/hex_file_builder.h"
#include "support/scripted_prompt.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int DataRecords = 4096;

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double nowSeconds()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return double(timer.nsecsElapsed()) / 1e9;
}

// A host that notes when the line loop begins and when the end of the file
// begins, in wall and CPU time.
class TimingHost : public HeadlessHost
{
public:
    using HeadlessHost::HeadlessHost;

    double loopStart = 0, loopEnd = 0, cpuStart = 0, cpuEnd = 0;

    void showLinesRemaining(const QString &text) override
    {
        HeadlessHost::showLinesRemaining(text);
        loopStart = nowSeconds();
        cpuStart = threadCpuSeconds();
    }
    void setLinesRemainingText(const QString &text) override
    {
        HeadlessHost::setLinesRemainingText(text);
        loopEnd = nowSeconds();
        cpuEnd = threadCpuSeconds();
    }
};

struct Figures
{
    double loopSeconds = 0;
    double cpuSeconds = 0;
    double endOfFileSeconds = 0;
    int lines = 0;
};

SimOptions simOptions(int answerDelayMs, bool startInBootloader)
{
    SimOptions options;
    options.startInBootloader = startInBootloader;
    options.faults.answerDelayMs = answerDelayMs;
    return options;
}

Figures engineRun(const QString &hexPath, int lines, int answerDelayMs)
{
    SimulatorThread sim(simOptions(answerDelayMs, false));
    QString error;
    if (!sim.start(&error))
        qFatal("simulator: %s", qPrintable(error));
    ScriptedPrompt prompt;
    TimingHost host(prompt);
    host.settings.applicationFile = hexPath;
    CommPort port([&sim](int) { return sim.devicePath(); });
    SystemClock clock;
    DownloadRun download(host, port, clock);
    const DownloadOutcome outcome = download.run(0);
    const double finished = nowSeconds();
    if (outcome != DownloadOutcome::Success)
        qFatal("the engine's download failed: %s", qPrintable(prompt.texts().join(u' ')));
    return {host.loopEnd - host.loopStart, host.cpuEnd - host.cpuStart, finished - host.loopEnd, lines};
}

// The reference: the same exchange with nothing but write, poll and read.
Figures bareRun(const QList<QByteArray> &records, int answerDelayMs)
{
    SimulatorThread sim(simOptions(answerDelayMs, true));
    QString error;
    if (!sim.start(&error))
        qFatal("simulator: %s", qPrintable(error));
    const int fd = ::open(sim.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        qFatal("cannot open %s", qPrintable(sim.devicePath()));
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);

    const auto readAnswer = [fd](int timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        char buffer[64];
        if (poll(&p, 1, timeoutMs) > 0)
            return ::read(fd, buffer, sizeof buffer) > 0;
        return false;
    };
    // The handshake: the bootloader announces itself, then says it is ready.
    readAnswer(500);
    if (::write(fd, "@&$", 3) != 3 || !readAnswer(1000))
        qFatal("the simulated bootloader did not answer");
    usleep(20000);
    tcflush(fd, TCIFLUSH);

    const double start = nowSeconds();
    const double cpu = threadCpuSeconds();
    for (const QByteArray &record : records) {
        if (::write(fd, record.constData(), size_t(record.size())) != record.size() || !readAnswer(3000))
            qFatal("the bare loop lost its answer");
    }
    Figures figures{nowSeconds() - start, threadCpuSeconds() - cpu, 0, int(records.size())};
    ::close(fd);
    return figures;
}

void report(QTextStream &out, const char *title, const Figures &engine, const Figures &bare)
{
    const double enginePer1000 = engine.loopSeconds * 1000 / engine.lines;
    const double barePer1000 = bare.loopSeconds * 1000 / bare.lines;
    out << title << "\n";
    out << QStringLiteral("  engine line loop:     %1 s per 1,000 lines (%2 lines)\n")
               .arg(enginePer1000, 0, 'f', 4).arg(engine.lines);
    out << QStringLiteral("  end-of-file wait:     %1 s (fixed, 2 to 3 s by the clock rule)\n")
               .arg(engine.endOfFileSeconds, 0, 'f', 2);
    out << QStringLiteral("  bare reference loop:  %1 s per 1,000 lines\n").arg(barePer1000, 0, 'f', 4);
    out << QStringLiteral("  ratio engine / bare:  %1\n").arg(enginePer1000 / barePer1000, 0, 'f', 2);
    out << QStringLiteral("  engine CPU:           %1 s per 1,000 lines, %2 % of the wall time\n")
               .arg(engine.cpuSeconds * 1000 / engine.lines, 0, 'f', 4)
               .arg(100.0 * engine.cpuSeconds / engine.loopSeconds, 0, 'f', 1);
    out.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir dir;
    HexFileBuilder hex;
    QByteArray data(DataRecords * 16, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char((i * 131 + 7) & 0xff);
    hex.addData(0, data);
    const QString path = dir.filePath(QStringLiteral("bench.hex"));
    QString error;
    if (!hex.writeFile(path, &error))
        qFatal("%s", qPrintable(error));
    const QList<QByteArray> records = hex.records();

    out << QStringLiteral("Download of %1 data records (%2 KiB, %3 lines) to the simulated target\n\n")
               .arg(DataRecords).arg(data.size() / 1024).arg(records.size());
    report(out, "Immediate answers:", engineRun(path, int(records.size()), 0), bareRun(records, 0));
    out << "\n";
    report(out, "Answers 1 ms late:", engineRun(path, int(records.size()), 1), bareRun(records, 1));
    return 0;
}
