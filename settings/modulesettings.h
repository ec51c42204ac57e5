#pragma once
// The one set of settings that the tool writes into a KVR7314, reads back
// from it, saves, opens and prints. Every field holds text, exactly as the
// window shows it; codes and times become bytes only when a frame is built.

#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <span>

enum class ReceiverType { Flex, Pocsag };

inline constexpr int kAliasCount = 16;
inline constexpr int kPocsagAliasCount = 7;   // a POCSAG receiver holds 7 RI-codes
inline constexpr int kTextLimit = 25;         // alias, coupling and idle texts
inline constexpr int kTimerLimit = 4;         // timer boxes: 9999 at most

// Positions in a .kvr data line and in the module's dump count from 1 and
// are signed 16-bit numbers, as in the module's own tool: a key or label
// that starts past this position is not found.
inline constexpr int kLastPosition = 32767;

// The program's version, given once by the build (CMake's project VERSION).
inline const QString kProgramVersion = QStringLiteral(KVR_PROGRAM_VERSION);

struct ModuleSettings {
    ReceiverType receiverType = ReceiverType::Flex;
    std::array<QString, kAliasCount> aliases;
    QString couplingText;
    QString idleText;
    QString aliasColour;      // colour codes: "176" red, "183" green, "181" yellow
    QString messageColour;
    QString couplingColour;
    QString scrollSpeed;      // speed codes: "199" (1, slow) .. "192" (5, fast)
    QString relayTime;        // seconds
    QString signClearTime;    // seconds
    QString lcdClearTime;     // seconds
    QString backlightTime;    // seconds
    QString scrollTime;       // milliseconds
    QString firmwareVersion;  // set only by a read-back; empty: not from a module

    bool operator==(const ModuleSettings &) const = default;
};

// The values every start of the program begins with.
ModuleSettings startupSettings();

// What the "standaard" boxes put in when checked (or, with `checked`
// false, when cleared): the idle and coupling texts and the five timers.
ModuleSettings withStandardValues(ModuleSettings settings, bool checked = true);

// The Dutch name of month 1..12 with a space on each side (" november "),
// as the file and the report put it between day and year; empty otherwise.
QString dutchMonthName(int month);

// --- Colour and speed codes -------------------------------------------------

struct CodeChoice {
    const char *caption;    // the check box's caption
    const char *code;       // decimal text of the byte the module takes
    const char *word;       // what the printed report shows
    const char *boxSuffix;  // the check box's objectName ends in it ("Chk_Kleur_Alias_RD")
};

// In the order of the boxes in the window.
inline constexpr std::array<CodeChoice, 3> kColourChoices = {{
    {"Rood", "176", "Rood", "RD"},
    {"Groen", "183", "Groen", "GN"},
    {"Geel", "181", "Geel", "GL"},
}};

inline constexpr std::array<CodeChoice, 5> kSpeedChoices = {{
    {"1", "199", "1", "1"},
    {"2", "197", "2", "2"},
    {"3", "195", "3", "3"},
    {"4", "193", "4", "4"},
    {"5", "192", "5", "5"},
}};

// Index of the row whose code is exactly `code`, or nothing for any other text.
std::optional<int> codeIndex(std::span<const CodeChoice> choices, QStringView code);
std::optional<int> colourIndex(QStringView code);
std::optional<int> speedIndex(QStringView code);

// The report's word for a code; empty for a code that is none of the table's.
QString codeWord(std::span<const CodeChoice> choices, QStringView code);

// --- Timers ---------------------------------------------------------------------

// Before programming: an empty seconds timer becomes "0"; an empty scroll
// time, or one of "0".."0000", becomes "350" (the module cannot scroll at 0 ms).
void normaliseTimers(ModuleSettings &settings);

// The module takes every timer as four characters: a shorter text gets
// zeros in front ("5" -> "0005"). Empty and longer texts stay as they are.
// The characters are not checked for digits ("1a" -> "001a").
QString padTimer(const QString &text);

// --- Loading values from the module or a file --------------------------------

// Values that a module dump or a settings file yields. Both carry every
// text, timer and code; only the file carries the receiver type and only
// the module the firmware version. Codes may be any three characters:
// an unknown one keeps the current choice.
struct SettingsUpdate {
    ModuleSettings values;
    bool setsReceiverType = false;
    bool setsFirmwareVersion = false;
};

// The update's result on `settings`, as the window would show it: texts
// cut to their limits, unknown codes ignored, and the receiver type and
// firmware version taken only where the update carries them.
ModuleSettings applyUpdate(ModuleSettings settings, const SettingsUpdate &update);
