#pragma once
// The commands of kvr7314-cli that work on files alone, without a module:
// diff of two settings files, the aliases to and from a spreadsheet's list,
// and the history of operations and backups in the data folder.

#include "cli/clirequests.h"
#include "operations/exitcode.h"

class CliConsole;

// Opens a settings file as "openen" does, on the settings of a fresh start;
// says why it cannot, and gives the exit code for that.
bool openSettings(const QString &path, CliConsole &console, ModuleSettings *settings, ExitCode *exit);

ExitCode runDiff(const DiffRequest &request);
ExitCode runAliases(const AliasesRequest &request);
ExitCode runHistory(const HistoryRequest &request);
