#pragma once
// kvr7314-cli fleet: many modules from one list, all on the program's one
// event loop (fleet/), with a line per module that shows how far it is,
// and at the end a summary and the command that retries the failed ones.

#include "cli/clirequests.h"
#include "cli/commandrun.h"

#include <memory>

class StopSignals;

std::unique_ptr<CommandRun> fleetCommand(const FleetRequest &request, StopSignals &stop);
