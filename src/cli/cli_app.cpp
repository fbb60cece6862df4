#include "cli/cli_app.h"

#include "app/app_info.h"
#include "app/settings_file.h"
#include "cli/cli_host.h"
#include "cli/cli_options.h"
#include "cli/console_output.h"
#include "cli/exit_codes.h"
#include "cli/port_listing.h"
#include "cli/signal_cancel.h"
#include "cli/terminal_prompt.h"
#include "download/download_run.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/failure.h"
#include "platform/port_map.h"

namespace {

const QString Name = QStringLiteral("tarnwick-cli: ");

CommPort::DeviceResolver resolverFor(const CliOptions &options)
{
    if (!options.portDevice.isEmpty()) {
        // A device named on the command line stands in for "Com 1".
        return [device = options.portDevice](int portNumber) { return portNumber == 1 ? device : QString(); };
    }
    return [map = PortMap(AppInfo::programFolder())](int portNumber) { return map.deviceFor(portNumber); };
}

// What the window's message leaves unsaid: the file or port and the reason.
void explain(ConsoleOutput &console, DownloadOutcome outcome, const DownloadRun &run, const Settings &settings,
             const CliOptions &options)
{
    switch (outcome) {
    case DownloadOutcome::ChoiceIncomplete:
    case DownloadOutcome::NoFileChosen:
        console.error(Name + QStringLiteral("name the files to send with --flash FILE and/or --eeprom FILE"));
        break;
    case DownloadOutcome::PortAccessFailed:
    case DownloadOutcome::FirmwareFileFailed:
    case DownloadOutcome::OpeningFailed:
    case DownloadOutcome::ClosingFailed:
        if (!run.failureReason().isEmpty())
            console.error(Name + run.failureReason());
        if (outcome == DownloadOutcome::PortAccessFailed && options.portDevice.isEmpty()) {
            console.error(Name + QStringLiteral("%1 was asked for; see tarnwick-cli --list-ports")
                                     .arg(comPortEntry(settings.comPortIndex)));
        }
        break;
    default:
        break;
    }
}

int runDownload(const CliOptions &options)
{
    ConsoleOutput console(options.quiet);
    Settings settings = Settings::defaults();
    if (!options.settingsFile.isEmpty()) {
        try {
            settings = readSettingsFile(options.settingsFile);
        } catch (const Failure &failure) {
            // Unlike the window, which falls back to its defaults, a script must
            // not flash with settings it did not ask for.
            console.error(Name + QStringLiteral("cannot use the settings file %1: %2")
                                     .arg(options.settingsFile, failure.reason()));
            return ExitCode::FileError;
        }
    }
    settings = options.applyTo(settings);

    SignalCancel ctrlC;
    const auto cancelRequested = [&ctrlC] { return ctrlC.requested(); };
    TerminalPrompt prompt(console, options.onError, cancelRequested, ctrlC.wakeDescriptor());
    CliHost host(settings, console, prompt, cancelRequested);
    CommPort port(resolverFor(options));
    SystemClock clock;
    DownloadRun run(host, port, clock);

    const DownloadOutcome outcome = run.run(options.downloadMode);
    explain(console, outcome, run, settings, options);
    return exitCodeFor(outcome);
}

} // namespace

int runTarnwickCli(const QStringList &arguments)
{
    const CliParseResult parsed = parseCliArguments(arguments);
    ConsoleOutput console(false);
    if (!parsed.error.isEmpty()) {
        console.error(Name + parsed.error);
        console.error(cliUsage().trimmed());
        return ExitCode::UsageError;
    }
    const CliOptions &options = parsed.options;
    if (options.help) {
        console.result(cliHelp().trimmed());
        return ExitCode::Success;
    }
    if (options.version) {
        console.result(QStringLiteral("tarnwick-cli %1.%2.%3")
                           .arg(AppInfo::versionMajor())
                           .arg(AppInfo::versionMinor())
                           .arg(AppInfo::versionRevision()));
        return ExitCode::Success;
    }
    if (options.listPorts) {
        const PortMap map(AppInfo::programFolder());
        for (const QString &line : describeComPorts(map))
            console.result(line);
        return ExitCode::Success;
    }
    return runDownload(options);
}
