#pragma once
// The KVR7314 answers a read request with a dump: its stored settings as
// labelled fields from "ALIAS01:" to "VERSIE". The module gives no lengths,
// so every value is cut at the field table's fixed offsets from the labels
// (keys) around it. All 26 keys are found before anything is cut; a dump
// that lacks a key, whose keys leave no sensible place to cut, or whose
// values hold a character that the text rule refuses, is rejected as a
// whole so that nothing in the window changes.

#include "link/moduledump.h"
#include "settings/modulesettings.h"

#include <QString>
#include <QStringView>

#include <optional>

struct DumpParse {
    // Set when the dump was accepted: every text, timer and code it carries
    // and the firmware version. Codes are the three characters as cut;
    // ::applyUpdate / the window keep the current choice for unknown ones.
    std::optional<SettingsUpdate> update;
    // Why the dump was rejected (empty when accepted).
    QString rejection;

    bool accepted() const { return update.has_value(); }
};

// The dump as received: one character per byte (Windows-1252).
DumpParse parseModuleDump(QStringView dump);

// Whether everything the parser reads has arrived: every key within reach,
// and the version's characters after the last one. (The module may still
// be sending; the version comes last in its dump.)
bool isDumpComplete(QStringView dump);
