#pragma once
// What a fleet run says at its end: a table of the modules sorted by how
// they ended (those that need a look last, next to the command that
// retries them), the same as JSON, and the exit code of the whole run.

#include "fleet/fleetrun.h"

#include <QJsonArray>
#include <QStringList>

// The results in the table's order: ok, differs, failed, stopped; the
// list's order within each.
QList<FleetResult> sortedByOutcome(QList<FleetResult> results);

// A header line and a line per module: name, port, outcome, firmware,
// steps sent (a write), time, cause.
QStringList summaryTable(const QList<FleetResult> &results, FleetAction action);

// One object per module: name, port, outcome, stepsSent, firmware, cause,
// durationMs, backup; null where a module has none.
QJsonArray summaryJson(const QList<FleetResult> &results, FleetAction action);

// 0 when every module succeeded; else the most serious of their codes:
// a stop signal's, then port, module, file, differences.
ExitCode fleetExitCode(const QList<FleetResult> &results);

// The modules that did not succeed, by name.
QStringList namesToRetry(const QList<FleetResult> &results);
// The modules a write left partly programmed: some steps sent, not all.
QStringList partlyProgrammed(const QList<FleetResult> &results);

// The command line `arguments` (the program's own name left out) for
// `names` alone: any --only replaced by one naming them, each argument
// quoted as a shell needs it.
QString retryCommand(const QString &program, const QStringList &arguments, const QStringList &names);
