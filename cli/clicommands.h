#pragma once
// The commands of kvr7314-cli. Each one calls the code the window uses:
// the settings file reader and writer, the frames, the programming and
// read-back runs, the dump parser and the report.

#include "cli/clicommandline.h"
#include "files/settingsfile.h"

class CliConsole;

// Opens a settings file as "openen" does: the whole file decoded first, its
// values applied to the settings of a fresh start. Says why it cannot.
CliExit openSettingsFile(const QString &path, CliConsole &console, ModuleSettings *settings);

// "FILE: Onverwachte fout. Er is geen bestand opgeslagen! (why)"
void reportSaveFailure(CliConsole &console, const QString &path, const FileReason &reason);

// Runs `request` (not Help, Version or Report, which has a module of its
// own) under the QCoreApplication that exists; returns the exit code.
CliExit runCliRequest(const CliRequest &request);
