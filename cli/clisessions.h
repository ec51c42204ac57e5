#pragma once
// The window's two timed runs, driven from the command line: the same
// ProgrammingRun ticking on a precise 150 ms timer (a step every 300 ms) and
// the same ReadBackRun with the window's first-poll delay, 1 ms polls and
// 12 s collection window. Each runs its own event loop until the run ends;
// a port failure ends it at once.

#include "cli/cliconsole.h"
#include "cli/modulelink.h"
#include "settings/modulesettings.h"

#include <QString>

struct ProgrammingOutcome {
    bool complete = false;   // all 26 steps were written
    int stepsSent = 0;
    QString failure;         // one line, when not complete
    CliExit exit = CliExit::Ok;
};

// Sends the 26 steps of `settings` (timers already normalised) through a
// port that step 1 opens.
ProgrammingOutcome runProgramming(ModuleLink &link, const ModuleSettings &settings, CliConsole &console);

struct ReadOutcome {
    enum Kind { Accepted, NoData, Rejected, PortFailed } kind = NoData;
    SettingsUpdate update;   // Accepted: what the dump carries
    QString failure;         // one line, when not accepted
    int characters = 0;      // received and kept
};

ReadOutcome runReadBack(ModuleLink &link, CliConsole &console);
