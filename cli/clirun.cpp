#include "cli/clirun.h"

#include "cli/filecommands.h"
#include "cli/fleetcommand.h"
#include "cli/modulecommands.h"
#include "cli/portcommands.h"
#include "cli/stopsignals.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// Runs `command` on the application's event loop to its end.
int runToEnd(std::unique_ptr<CommandRun> command)
{
    int exitCode = int(ExitCode::Ok);
    QObject::connect(command.get(), &CommandRun::ended, command.get(), [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    QTimer::singleShot(0, command.get(), &CommandRun::start);
    QCoreApplication::exec();
    return exitCode;
}

struct Runner {
    StopSignals &stop;

    int operator()(const WriteRequest &r) { return runToEnd(writeCommand(r, stop)); }
    int operator()(const ReadRequest &r) { return runToEnd(readCommand(r, stop)); }
    int operator()(const TestCallRequest &r) { return runToEnd(testCallCommand(r, stop)); }
    int operator()(const NoNetworkRequest &r) { return runToEnd(noNetworkCommand(r, stop)); }
    int operator()(const FindRequest &r) { return runToEnd(findCommand(r, stop)); }
    int operator()(const FleetRequest &r) { return runToEnd(fleetCommand(r, stop)); }
    int operator()(const SimRequest &r) { return runToEnd(simCommand(r, stop)); }
    int operator()(const PortsRequest &r) { return int(runPorts(r)); }
    int operator()(const DiffRequest &r) { return int(runDiff(r)); }
    int operator()(const AliasesRequest &r) { return int(runAliases(r)); }
    int operator()(const HistoryRequest &r) { return int(runHistory(r)); }
    int operator()(const HelpRequest &) { return int(ExitCode::Usage); }
    int operator()(const VersionRequest &) { return int(ExitCode::Usage); }
    int operator()(const ReportRequest &) { return int(ExitCode::Usage); }
};

} // namespace

int runCliRequest(const CliRequest &request)
{
    StopSignals stop;
    return std::visit(Runner{stop}, request);
}
