#pragma once
// The one set of settings that the tool writes into a KVR7314, reads back
// from it, saves, opens and prints. Every field holds text, exactly as the
// window shows it; codes and times become bytes only when a frame is built.

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

enum class ReceiverType { Flex, Pocsag };

inline constexpr int kAliasCount = 16;
inline constexpr int kPocsagAliasCount = 7;   // a POCSAG receiver holds 7 RI-codes
inline constexpr int kTextLimit = 25;         // alias, coupling and idle texts
inline constexpr int kTimerLimit = 4;         // timer boxes: 9999 at most

// The program's version, given once by the build (CMake's project VERSION).
inline const QString kProgramVersion = QStringLiteral(KVR_PROGRAM_VERSION);

// The five timer fields, in the order the module and the file carry them.
enum class TimerField { Relay, SignClear, LcdClear, Backlight, Scroll };
inline constexpr std::array<TimerField, 5> kTimerFields = {
    TimerField::Relay, TimerField::SignClear, TimerField::LcdClear,
    TimerField::Backlight, TimerField::Scroll};

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

    QString &timer(TimerField field);
    const QString &timer(TimerField field) const;

    bool operator==(const ModuleSettings &) const = default;
};

// The values every start of the program begins with.
ModuleSettings startupSettings();

// The Dutch name of month 1..12 with a space on each side (" november "),
// as the file and the report put it between day and year; empty otherwise.
QString dutchMonthName(int month);

// --- Colour and speed codes -------------------------------------------------

struct CodeChoice {
    const char *caption;  // the check box's caption
    const char *code;     // decimal text of the byte the module takes
    const char *word;     // what the printed report shows
};

// In the order of the boxes in the window.
inline constexpr std::array<CodeChoice, 3> kColourChoices = {{
    {"Rood", "176", "Rood"},
    {"Groen", "183", "Groen"},
    {"Geel", "181", "Geel"},
}};

inline constexpr std::array<CodeChoice, 5> kSpeedChoices = {{
    {"1", "199", "1"},
    {"2", "197", "2"},
    {"3", "195", "3"},
    {"4", "193", "4"},
    {"5", "192", "5"},
}};

// Index of the row whose code is exactly `code`, or nothing for any other text.
std::optional<int> colourIndex(QStringView code);
std::optional<int> speedIndex(QStringView code);

// The report's word for a code; empty for a code that is none of the table's.
QString colourWord(QStringView code);
QString speedWord(QStringView code);

// --- Standard values ("standaard" boxes) ----------------------------------------

struct StandardText {
    QString checked;
    QString cleared;
};
inline const StandardText kStandardIdleText{QStringLiteral("GEEN MELDING"), QStringLiteral(" ")};
inline const StandardText kStandardCouplingText{QStringLiteral(" >>> "), QStringLiteral("  ")};

// Timer texts in kTimerFields order.
inline const std::array<QString, 5> kStandardTimersChecked = {
    QStringLiteral("10"), QStringLiteral("30"), QStringLiteral("60"),
    QStringLiteral("9999"), QStringLiteral("350")};
inline const std::array<QString, 5> kStandardTimersCleared = {
    QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
    QStringLiteral("0"), QStringLiteral("000")};

// --- Timers ---------------------------------------------------------------------

// Before programming: an empty seconds timer becomes "0"; an empty scroll
// time, or one of "0".."0000", becomes "350" (the module cannot scroll at 0 ms).
void normaliseTimers(ModuleSettings &settings);

// The module takes every timer as four characters: a shorter text gets
// zeros in front ("5" -> "0005"). Empty and longer texts stay as they are.
// The characters are not checked for digits ("1a" -> "001a").
QString padTimer(const QString &text);

// --- Field limits ---------------------------------------------------------------

// A text put into a field by code keeps what the box would accept: its
// first 25 (texts) or 4 (timers) characters.
QString limitText(const QString &text);
QString limitTimer(const QString &text);

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
