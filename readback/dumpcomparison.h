#pragma once
// Checks that a module holds what was written into it, by comparing the
// values its dump gives back with the values that were sent.

#include "settings/modulesettings.h"

#include <QList>
#include <QString>

struct FieldDifference {
    QString field;     // "alias 05", "scroll time", ...
    QString expected;  // as the module's dump should show it
    QString found;     // as the dump showed it

    bool operator==(const FieldDifference &) const = default;
};

// `written`: the settings of a programming run (timers normalised).
// `read`: the values a read-back parsed from the module's dump.
// Every field the dump carries is compared; the receiver type and the
// firmware version are not sent, so they are not compared.
QList<FieldDifference> moduleDifferences(const ModuleSettings &written, const ModuleSettings &read);
