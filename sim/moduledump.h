#pragma once
// The text a KVR7314 sends back when it is asked for its settings (read
// request, code 99): its stored settings as labelled fields from "ALIAS01:"
// to "VERSIE", in the layout the tool's dump parser cuts by fixed offsets.

#include "settings/modulesettings.h"

#include <QByteArray>

// `stored` holds what the module took from the 26 programming steps (timers
// as the 4 characters it received); `firmwareVersion` is what it reports.
QByteArray moduleDump(const ModuleSettings &stored, const QString &firmwareVersion);

// What a module holds when its dump is the largest it can send: every text
// at its 25 characters, every timer at its 4.
ModuleSettings largestModuleSettings();
