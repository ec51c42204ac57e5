#pragma once
// What a KVR7314 shows at a given moment: its four LCD lines, the text on
// its LED sign (the "lichtkrant") with the colour of each part, and whether
// its relay and LCD backlight are on. It follows from the settings the
// module holds, the last call it took and the time since that call; there
// is no other state, because every new call restarts all the module's times.
//
// The module's layout as shown here:
//   idle (no call yet, or the LCD clear time has passed):
//     line 1 the idle text, lines 2 to 4 empty.
//   after a call:
//     line 1 the alias of the called capcode or RI-code,
//     line 2 the coupling text,
//     lines 3 and 4 the message, read as one 80-character window. A longer
//     message scrolls through it one character every scroll time
//     (milliseconds), followed by three spaces before it starts again.
//   every line is exactly 40 characters: longer texts are cut, shorter
//   ones filled with spaces.
// The LED sign runs alias, coupling text and message, each in its own
// colour, and is dark while there is no call or after the sign clear time.
//
// Times are in seconds, as the module holds them (four digits). A time
// shows its output for that many seconds after the call: 0 never shows
// it, 9999 keeps it on until the next call changes it. A time that is not
// a number counts as 0.
//
// The no-network notice (frame code 17) is shown like a call without alias
// and coupling text: the fault text is the message. It lights the backlight
// but does not switch the relay, which is meant for calls.

#include "settings/modulesettings.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

class SimulatedModule;

inline constexpr int kLcdLineCount = 4;
inline constexpr int kLcdLineWidth = 40;
inline constexpr int kAlwaysOnSeconds = 9999;

// The last thing the module was given to show.
struct ModuleCall {
    QString code;      // "1".."16", "1D".."7D", or "17" for the no-network notice
    QString message;
    qint64 atMs = 0;   // when it arrived, in the host's clock
};

struct SignSegment {
    QString text;
    QString colourCode;   // "176" red, "183" green, "181" yellow

    bool operator==(const SignSegment &) const = default;
};

struct ModuleDisplay {
    std::array<QString, kLcdLineCount> lcdLines;   // kLcdLineWidth characters each
    QList<SignSegment> sign;                       // empty: the sign is dark
    bool relayOn = false;
    bool backlightOn = false;
};

// The call or no-network notice the module took last; nothing before any.
std::optional<ModuleCall> lastCall(const SimulatedModule &module);

// What a module holding `stored` shows at `nowMs`, after `call`.
ModuleDisplay moduleDisplay(const ModuleSettings &stored, const std::optional<ModuleCall> &call,
                            qint64 nowMs);

// The alias number (1..16) a call code shows: capcode "12" -> 12,
// RI-code "3D" -> 3; nothing for the notice and for codes of neither kind.
std::optional<int> aliasNumberOfCall(const QString &code);
