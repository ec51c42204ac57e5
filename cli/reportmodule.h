#pragma once
// The report command lives in a module of its own (kvr7314-report), loaded
// only when a report is printed: drawing a PDF needs Qt's GUI libraries,
// and loading those would cost every other command of kvr7314-cli their
// start-up time (a third of what a whole read takes).

#include "cli/clirequests.h"

// The entry point the module exports: it makes its own QGuiApplication.
using ReportEntryPoint = int (*)(int argc, char **argv, const ReportRequest &request);
inline constexpr char kReportEntryPointName[] = "kvr7314RunReport";

// Loads the module from beside the executable, or from its installed
// place, and runs the report there. The exit code.
int runReportModule(int argc, char **argv, const ReportRequest &request);
