#pragma once
// The commands of kvr7314-cli. Each one calls the code the window uses:
// the settings file reader and writer, the frames, the programming and
// read-back runs, the dump parser and the report.

#include "cli/clicommandline.h"

// The report draws text and needs fonts, so it runs under a
// QGuiApplication; every other command needs only a QCoreApplication.
bool needsGuiApplication(const CliRequest &request);

// Runs `request` (not Help) under the application that exists; returns the
// exit code.
CliExit runCliRequest(const CliRequest &request);
