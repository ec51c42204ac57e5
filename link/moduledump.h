#pragma once
// What a KVR7314 sends back when it is asked for its settings (read
// request, code 99): its labels in the order of dumpLabels(), each followed
// by its content and CR LF. After "TUSSENTEKST:" and "START:" it echoes
// programming steps 26 and 1 in its written form; after the other labels
// it writes the value it holds. The tool's dump parser cuts the values at
// the field table's offsets; the simulated module writes the dump here.

#include "settings/modulesettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The most a read-back keeps: every position the parser can reach, the
// values after the last label included, with room to spare.
inline constexpr int kMaxDumpCharacters = kLastPosition + 256;

// How the module writes back the bytes of a programming step in its dump:
// printable ASCII as itself, any other byte as its decimal value in angle
// brackets, so a colour byte 0xB0 reads "<176>" and a coupling text "café"
// reads "caf<233>".
QByteArray dumpWrittenForm(QByteArrayView content);

// The dump of a module that holds `stored` (what it took from the 26
// programming steps: timers as the 4 characters it received) and reports
// `firmwareVersion`. It keeps the scroll time in three digits: the last
// three of the four it was sent ("0350" -> "350").
QByteArray moduleDump(const ModuleSettings &stored, const QString &firmwareVersion);
