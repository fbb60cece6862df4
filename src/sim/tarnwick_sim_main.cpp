// tarnwick-sim: the simulated target as a program of its own.

#include "sim/device_link.h"
#include "sim/sim_command_line.h"
#include "sim/simulator_thread.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <pthread.h>

namespace {

void printError(const QString &text)
{
    std::fprintf(stderr, "tarnwick-sim: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char **argv)
{
    // The signals are taken one at a time by this thread (sigtimedwait), so
    // they are blocked before any other thread starts and inherits the mask;
    // nothing then runs inside a signal handler.
    sigset_t handledSignals;
    sigemptyset(&handledSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        sigaddset(&handledSignals, s);
    pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-sim"));

    SimCommandLine line;
    QString error;
    if (!parseSimCommandLine(QCoreApplication::arguments(), &line, &error)) {
        printError(error + QStringLiteral("\n(see tarnwick-sim --help)"));
        return 2;
    }
    if (line.helpRequested) {
        std::fputs(qPrintable(simHelpText()), stdout);
        return 0;
    }

    SimulatorThread sim(line.options);
    if (!sim.start(&error)) {
        printError(error);
        return 1;
    }
    DeviceLink link;
    if (!line.linkPath.isEmpty() && !link.create(line.linkPath, sim.devicePath(), &error)) {
        printError(error);
        return 1;
    }

    std::printf("%s\n", qPrintable(sim.devicePath()));
    std::fflush(stdout);
    if (!line.linkPath.isEmpty())
        std::fprintf(stderr, "tarnwick-sim: %s links to the device\n", qPrintable(line.linkPath));

    int exitCode = 0;
    for (;;) {
        const timespec interval{0, 200 * 1000 * 1000};
        const int s = sigtimedwait(&handledSignals, nullptr, &interval);
        if (s == SIGUSR1) {
            sim.reset();
        } else if (s == SIGUSR2) {
            if (!sim.writeOutputs(&error))
                printError(error);
        } else if (s == SIGINT || s == SIGTERM || s == SIGHUP) {
            break;
        } else if (s < 0 && errno != EAGAIN && errno != EINTR) {
            printError(QStringLiteral("cannot wait for handledSignals"));
            exitCode = 1;
            break;
        } else if (sim.state() == TargetState::Vanished) {
            std::fprintf(stderr, "tarnwick-sim: the device has vanished as asked; ending\n");
            break;
        }
    }

    sim.stop();
    link.remove();
    if (!sim.writeOutputs(&error)) {
        printError(error);
        exitCode = 1;
    }
    return exitCode;
}
