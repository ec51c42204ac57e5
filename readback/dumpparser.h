#pragma once
// The KVR7314 answers a read request with a dump: its stored settings as
// labelled fields from "ALIAS01:" to "VERSIE". The module gives no lengths,
// so every value is cut at fixed offsets from the labels (keys) around it.
// All 26 keys are found before anything is cut; a dump that lacks a key,
// whose keys leave no sensible place to cut, or whose values hold a
// character that the text rule refuses, is rejected as a whole so that
// nothing in the window changes.

#include "settings/modulesettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The keys in the order they are searched and cut.
inline constexpr int kDumpKeyCount = 26;
extern const std::array<QStringView, kDumpKeyCount> kDumpKeys;

// Positions in a dump count from 1 and are held in 16 bits, as the module's
// own tool did: a key that starts past this position is not found.
inline constexpr int kLastDumpPosition = 32767;
// The most a read-back keeps: every position the parser can reach, the
// values after the last key included, with room to spare.
inline constexpr int kMaxDumpCharacters = kLastDumpPosition + 256;

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
// and after "VERSIE" its one skipped character and the four of the version.
// (The module may still be sending; the version comes last in its dump.)
bool isDumpComplete(QStringView dump);

// How the module writes back the bytes of a programming step in its dump
// (step 26 after "TUSSENTEKST:", step 1 after "START:"): printable ASCII as
// itself, any other byte as its decimal value in angle brackets, so a colour
// byte 0xB0 reads "<176>" and a coupling text "café" reads "caf<233>".
QByteArray dumpWrittenForm(QByteArrayView content);
