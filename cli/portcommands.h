#pragma once
// The commands of kvr7314-cli about serial ports rather than a module's
// settings: the ports the machine has and where the COM boxes lead, and a
// simulated module on a pseudo-terminal for other programs to talk to.

#include "cli/clirequests.h"
#include "cli/commandrun.h"

#include <memory>

ExitCode runPorts(const PortsRequest &request);
std::unique_ptr<CommandRun> simCommand(const SimRequest &request, StopSignals &stop);
