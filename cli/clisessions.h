#pragma once
// The window's two timed runs, driven from the command line: the same
// programming and read-back sessions, each run in its own event loop until
// it ends or a stop signal (Ctrl-C, SIGTERM) arrives, with their progress
// on the console.

#include "cli/cliconsole.h"
#include "cli/modulelink.h"
#include "settings/modulesettings.h"

#include <QString>

class StopSignals;

struct ProgrammingOutcome {
    bool complete = false;   // all 26 steps were written
    int stepsSent = 0;
    int interruptedBy = 0;   // the stop signal that ended the run, or 0
    QString failure;         // one line, when the port failed
    CliExit exit = CliExit::Ok;
};

// What a write that stopped after `stepsSent` steps left in the module.
QString moduleStateAfter(int stepsSent);

// Sends the 26 steps of `settings` through a port that step 1 opens. The
// session normalises and pads the timers of `settings` as the window's boxes.
ProgrammingOutcome runProgramming(ModuleLink &link, ModuleSettings &settings, CliConsole &console,
                                  StopSignals &stop);

struct ReadOutcome {
    enum Kind { Accepted, NoData, Rejected, PortFailed, Interrupted } kind = NoData;
    SettingsUpdate update;   // Accepted: what the dump carries
    QString failure;         // one line, when not accepted
    int characters = 0;      // received and kept
    int interruptedBy = 0;
};

// Reads the module: every waiting character at once, and the parse as soon
// as the dump is complete and the line quiet (at 12 s at the latest), or
// with `fullWait` 12 s after the first character, as the window does.
ReadOutcome runReadBack(ModuleLink &link, CliConsole &console, StopSignals &stop, bool fullWait);
