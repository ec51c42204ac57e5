#pragma once
// What a settings text may hold: one rule for every way a text comes in,
// the window's boxes, the .kvr reader, the module's dump and the command
// line. The module and the files carry single Windows-1252 bytes, and a
// control byte inside a text breaks them: an EOT or SOH cuts the module's
// frame (and starts one the module carries out), a CR or LF ends the
// file's data line early. So a text holds only characters Windows-1252 has
// a byte for, and none of the control bytes 0-31 and 127.

#include "settings/modulesettings.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The index of the first character the rule refuses, or -1.
qsizetype firstRefusedCharacter(QStringView text);
inline bool isAllowedText(QStringView text) { return firstRefusedCharacter(text) < 0; }

// A refused character as a message names it: "U+0004", "U+007F", "U+65E5 (日)".
QString refusedCharacterName(QChar c);

// A text field of the settings, named for messages in English (the
// command line) and in Dutch (the window).
struct NamedText {
    QString name;        // "alias 05", "coupling text", "relay time", ...
    QString dutchName;   // "Alias 5", "Koppeltekst", "Tijd relais", ... (begins a sentence)
    QString text;
    int alias = -1;      // aliases: 0..15 for alias 1..16
};

// Every text field of `settings` (aliases, coupling and idle text, the
// timers and the firmware version), in the order of the field table.
QList<NamedText> namedTexts(const ModuleSettings &settings);

// The first text of `settings` that breaks the rule.
struct TextFault {
    NamedText field;
    qsizetype position = 0;   // counted from 1
    QChar character;

    QString english() const;  // "alias 03 holds U+000D at position 4"
    QString dutch() const;    // "Alias 3 bevat het teken U+000D op positie 4"
};
std::optional<TextFault> firstTextFault(const ModuleSettings &settings);

// A text sent to the module that holds a key of the .kvr data line or a
// label of the module's dump. Written into the module, it would move the
// labels of the module's dump, so that the module could not be read back
// nor its settings saved.
struct KeyInText {
    NamedText field;
    QString key;
    bool ofTheDump = false;   // a label of the dump; else a key of the file

    QString english() const;  // "alias 03 holds "TIMER1:", a label of the module's dump"
    QString dutch() const;    // "Alias 3 bevat "TIMER1:", een sleutel van de KVR7314; pas de tekst aan."
};
std::optional<KeyInText> firstKeyInSentText(const ModuleSettings &settings);
