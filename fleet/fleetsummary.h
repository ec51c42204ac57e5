#pragma once
// What a fleet run says at its end: a table of the modules sorted by how
// they ended (those that need a look last, next to the command that
// retries them), the same as JSON, and the exit code of the whole run.

#include "fleet/fleetrun.h"

#include <QDateTime>
#include <QJsonArray>
#include <QStringList>

// Where a module stands, for a console: "waiting", "step 9 of 26",
// "reading: 420 characters", or how it ended ("failed: cause").
QString englishState(const FleetState &state, const FleetResult &result);

// A fleet too long for a terminal's lines, in at most `height` lines:
// how many modules stand where, then those that need a look (failed,
// differing, stopped), as many as fit.
QStringList fleetOverview(const QList<FleetState> &states, const QList<FleetResult> &results, int height);

// The results in the table's order: ok, differs, failed, stopped; the
// list's order within each.
QList<FleetResult> sortedByOutcome(QList<FleetResult> results);

// A header line and a line per module: name, port, outcome, firmware,
// steps sent (a write), time, cause.
QStringList summaryTable(const QList<FleetResult> &results, FleetAction action);

// One object per module: name, port, outcome, stepsSent, firmware, cause,
// durationMs, backup; null where a module has none. A plan and an apply
// add differences (objects field, file, module), an apply and an undo
// written.
QJsonArray summaryJson(const QList<FleetResult> &results, FleetAction action);

// For each module that differs from its file, in the list's order, a line
// per field: `Kazerne 2: alias 05: file "Brandweer", module "Brand"`.
QStringList differenceLines(const QList<FleetResult> &results);

// A plan's one line for a monitoring system (Nagios, Icinga, Zabbix), in
// the plugin format with its performance data, and the plugin's exit code:
// OK 0 when every module holds its file, WARNING 1 when some differ, none
// failed, CRITICAL 2 when some could not be read, UNKNOWN 3 when the plan
// was stopped.
struct MonitoringCheck {
    int exit = 3;
    QString line;
};
MonitoringCheck nagiosCheck(const QList<FleetResult> &results, double seconds);
// UNKNOWN, 3: the plan could not run, for `why`.
MonitoringCheck nagiosUnknown(const QString &why);

// A plan in the Prometheus text format, for the node exporter's textfile
// collector: per module whether it answered, holds its file, how many
// fields differ and its firmware; when the plan ended and how long it took.
QByteArray prometheusMetrics(const QList<FleetResult> &results, const QDateTime &ended, double seconds);

// "5 of 6 module(s) ok, 2 written"; a plan: "4 of 6 module(s) hold their file".
QString countLine(const QList<FleetResult> &results, FleetAction action);

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
