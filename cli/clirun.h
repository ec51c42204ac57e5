#pragma once
// Runs a request of kvr7314-cli (not help, version or report, which are
// answered before the application exists) under the QCoreApplication that
// exists: a command on files at once, a command on a module on the
// application's event loop until it ends. The exit code.

#include "cli/clirequests.h"

int runCliRequest(const CliRequest &request);
