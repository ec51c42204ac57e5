#pragma once
// Comparing settings the way a technician asks it: does the module hold
// what was written into it (write --verify), and how do two settings files
// differ (diff), optionally as the module would hold them.

#include "settings/modulesettings.h"

#include <QList>
#include <QString>

struct FieldDifference {
    QString field;     // "alias 05", "scroll time", ...
    QString expected;  // the first side: what was written, or file A
    QString found;     // the second side: what the module gave back, or file B
    QString key;       // the field's key in the command line's JSON

    bool operator==(const FieldDifference &) const = default;
};

// What a module holds once it has taken the 26 steps of `settings`, as its
// dump gives it back: an empty alias as "CAPCODE nn", every timer in the
// four characters sent ("10" -> "0010"), the scroll time in the module's
// three digits, the coupling text in the written form of its dump
// ("café" -> "caf<233>"). Receiver type and firmware version are not sent.
ModuleSettings asModuleHolds(const ModuleSettings &settings);

// Every value a .kvr file carries (the receiver type too), field by field.
QList<FieldDifference> settingsDifferences(const ModuleSettings &a, const ModuleSettings &b);

// The values a module holds after each was written into it: what
// asModuleHolds() gives of both, the receiver type not among them.
QList<FieldDifference> heldDifferences(const ModuleSettings &a, const ModuleSettings &b);

// `written`: the settings of a programming run (timers normalised).
// `read`: the values a read-back parsed from the module's dump.
// Every field the dump carries is compared; the receiver type and the
// firmware version are not sent, so they are not compared.
QList<FieldDifference> moduleDifferences(const ModuleSettings &written, const ModuleSettings &read);

// The same comparison of a settings file with what a module holds, but each
// difference with the file's value as the file holds it ("10", not
// "0010"): what a technician finds when opening the file.
QList<FieldDifference> fileDifferences(const ModuleSettings &file, const ModuleSettings &read);
