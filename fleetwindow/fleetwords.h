#pragma once
// The fleet window's Dutch words for what the fleet does: where a module
// stands, how it ended, what differs, and the line that sums a run up.

#include "fleet/fleetrun.h"

#include <QList>
#include <QString>

// "in orde", "wijkt af", "mislukt", "gestopt".
QString dutchOutcome(FleetOutcome outcome);

// "wacht", "stap 9 van 26", "lezen: 420 tekens", ...; once it ended, how.
QString dutchState(const FleetState &state, FleetOutcome outcome);

// How far it is, 0 to 100, for its progress bar; -1 when it is not running.
int progressOf(const FleetState &state);

// `alias 5: bestand "Duikteam", module "Duikploeg"`.
QString dutchDifference(const FieldDifference &difference);

// "38 van 40 modules in orde, 1 wijkt af, 1 mislukt": the outcomes of the
// modules that ran, of `total` in the list.
QString dutchSummary(const QList<FleetOutcome> &outcomes, int total);

// What the buttons do, as a question and as a verb: "bijwerken",
// "schrijven", "terugzetten".
QString dutchVerb(FleetAction action);
// "3 modules bijwerken?", "1 module schrijven?".
QString writeQuestion(FleetAction action, int modules);
