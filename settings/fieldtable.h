#pragma once
// Every field of the settings record, described once: how messages name
// it, where the .kvr data line and the module's dump carry it, which
// programming step sends it, which box of the window shows it, what the
// report prints before it and which values it starts and is reset with.
// Everything that goes through the fields one by one (the file reader and
// writer, the frames, the dump parser and the simulated module's dump, the
// text rule, the comparison, the report, the window) walks this table.

#include "settings/modulesettings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>

enum class FieldKind {
    Receiver,   // FLEX or POCSAG: the two receiver boxes
    Text,       // a text box of 25 characters (the aliases, coupling and idle text)
    Colour,     // a colour code, chosen by a group of check boxes
    Speed,      // a speed code, chosen by a group of check boxes
    Timer,      // a timer box of 4 characters
    Version,    // the firmware version the module reported
};

// A label of the module's dump. The module sends its labels in the order
// of dumpLabels(), each followed by its content and CR LF; a label that
// echoes a step writes that programming step's content in the dump's
// written form (every byte outside printable ASCII as "<n>").
struct DumpLabel {
    QStringView text;
    int echoesStep = 0;   // 1..26, or 0: the label holds a value of its own (or nothing)
};
std::span<const DumpLabel> dumpLabels();

// Where the module's dump holds a field: `offset` characters after the
// first character of `label` it starts; it is `length` characters long,
// or, with length 0, it runs up to `gap` characters before `until`.
struct DumpCut {
    const DumpLabel *label = nullptr;   // null: the dump does not carry the field
    int offset = 0;
    int length = 0;
    const DumpLabel *until = nullptr;
    int gap = 0;
};

// Which programming step carries a field, and in which part of its content
// (after the step's fixed bytes, parts follow in ascending order).
struct StepPlace {
    int step = 0;   // 1..26, or 0: not sent
    int part = 0;
};

enum class TimerUnit { None, Seconds, Milliseconds };

// What a "standaard" box of the window puts into the field.
struct StandardValue {
    QString box;       // the objectName of the "standaard" box; empty: none
    QString checked;   // when the box is checked
    QString cleared;   // when it is cleared
};

struct SettingsField {
    FieldKind kind = FieldKind::Text;
    QString ModuleSettings::*member = nullptr;   // null for the aliases and the receiver type
    int alias = -1;                              // aliases: 0..15 for alias 1..16

    QString name;        // English, for the command line: "alias 05", "relay time"
    QString dutchName;   // Dutch, for the window's boxes; begins a sentence: "Alias 5"
    QString key;         // in the command line's JSON: "alias05", "relayTime"

    QByteArray fileKey;  // its key on the .kvr data line; empty: not on it
    DumpCut dump;
    StepPlace step;

    QString box;          // the objectName of its box; for a choice, its check boxes' common prefix
    QString caption;      // the label beside a timer's box
    QString toolTip;      // a timer box's tooltip
    TimerUnit unit = TimerUnit::None;
    QString reportLabel;  // the report's line up to the value, after its indent

    QString atStartUp;        // what the field holds when the program starts
    StandardValue standard;
    QString whenEmpty;        // a timer that is empty before programming becomes this
    bool zeroIsEmpty = false; // ... and so does one of only zeros ("0".."0000")

    bool isChoice() const { return kind == FieldKind::Colour || kind == FieldKind::Speed; }
    bool isText() const { return kind == FieldKind::Text || kind == FieldKind::Timer || kind == FieldKind::Version; }
    bool isSent() const { return step.step != 0; }
    // How many characters its box takes; 0: no limit of its own.
    int boxLength() const;
    // A text put in by code keeps what the box would take: its first 25
    // (texts) or 4 (timers) characters.
    QString limited(const QString &text) const;

    // The field's text in `settings` (not for the receiver type).
    QString &in(ModuleSettings &settings) const;
    const QString &in(const ModuleSettings &settings) const;
};

// The fields in the order of the .kvr data line, the receiver type first
// and the firmware version last.
std::span<const SettingsField> settingsFields();

// The row of one field, found by its member (ModuleSettings::relayTime).
const SettingsField &settingsField(QString ModuleSettings::*member);
const SettingsField &aliasField(int index);   // 0..15
const SettingsField &receiverField();

// The fields of one kind, in table order.
QList<const SettingsField *> fieldsOfKind(FieldKind kind);

// The codes a choice field may take: the colour or the speed table; the
// row of `code` in it, or nothing for any other text.
std::span<const CodeChoice> choicesOf(const SettingsField &field);
std::optional<int> choiceIndex(const SettingsField &field, QStringView code);
// The report's word for the field's code; empty for an unknown code.
QString choiceWord(const SettingsField &field, QStringView code);

// The settings as the command line's JSON gives them: one member per field
// (its key), the receiver type as "FLEX" or "POCSAG".
QJsonObject settingsObject(const ModuleSettings &settings);
QString receiverName(ReceiverType type);

// "Sec." / "mSec." beside the box, " seconde" / " mSec" after the value in the report.
QString unitCaption(TimerUnit unit);
QString reportUnit(TimerUnit unit);
