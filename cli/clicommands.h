#pragma once
// The commands of kvr7314-cli. Each one calls the code the window uses:
// the settings file reader and writer, the frames, the programming and
// read-back runs, the dump parser and the report.

#include "cli/clicommandline.h"
#include "files/journal.h"
#include "files/settingsfile.h"

class CliConsole;

// Opens a settings file as "openen" does: the whole file decoded first, its
// values applied to the settings of a fresh start. Says why it cannot.
CliExit openSettingsFile(const QString &path, CliConsole &console, ModuleSettings *settings);

// The operation's log line. What could not be kept is said on standard
// error; the work and its exit code stay as they are.
void keepOperation(CliConsole &console, Journal::Operation &op, bool ok, const QString &cause = {});

// "FILE: Onverwachte fout. Er is geen bestand opgeslagen! (why)"
void reportSaveFailure(CliConsole &console, const QString &path, const FileReason &reason);

// Runs `request` (not Help, Version or Report, which has a module of its
// own) under the QCoreApplication that exists; returns the exit code.
CliExit runCliRequest(const CliRequest &request);
