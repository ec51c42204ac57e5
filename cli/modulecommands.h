#pragma once
// The commands of kvr7314-cli that talk to a module: write, read,
// test-call, no-network and find. Each starts the operations the window
// starts (operations/) and shows what they report; none waits in an event
// loop of its own.

#include "cli/clirequests.h"
#include "cli/commandrun.h"

#include <memory>

class StopSignals;

std::unique_ptr<CommandRun> writeCommand(const WriteRequest &request, StopSignals &stop);
std::unique_ptr<CommandRun> readCommand(const ReadRequest &request, StopSignals &stop);
std::unique_ptr<CommandRun> testCallCommand(const TestCallRequest &request, StopSignals &stop);
std::unique_ptr<CommandRun> noNetworkCommand(const NoNetworkRequest &request, StopSignals &stop);
std::unique_ptr<CommandRun> findCommand(const FindRequest &request, StopSignals &stop);
