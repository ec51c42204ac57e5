#include "link/moduledump.h"

#include "link/frames.h"
#include "settings/codec.h"
#include "settings/fieldtable.h"

namespace {

const QByteArray kLineEnd("\r\n");

// The field whose value the module writes after `label`, if any.
const SettingsField *fieldAfter(const DumpLabel &label)
{
    for (const SettingsField &field : settingsFields()) {
        if (field.dump.label == &label)
            return &field;
    }
    return nullptr;
}

// A value the module holds, as it writes it after its label: after any
// characters the parser skips, a text as its step gave it (an empty alias
// reached the module as "CAPCODE nn"), a timer in the digits it keeps.
QByteArray heldValue(const SettingsField &field, const DumpLabel &label, const ModuleSettings &stored)
{
    QByteArray value(field.dump.offset - int(label.text.size()), ' ');
    QByteArray text = cp1252::encode(field.kind == FieldKind::Text ? sentText(field, stored) : field.in(stored));
    if (field.kind == FieldKind::Timer && field.dump.length > 0) {
        text = text.right(field.dump.length);
        text.prepend(QByteArray(field.dump.length - text.size(), '0'));
    }
    return value + text;
}

} // namespace

QByteArray dumpWrittenForm(QByteArrayView content)
{
    QByteArray out;
    for (char ch : content) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte <= 0x7E)
            out.append(ch);
        else
            out.append('<').append(QByteArray::number(byte)).append('>');
    }
    return out;
}

QByteArray moduleDump(const ModuleSettings &stored, const QString &firmwareVersion)
{
    ModuleSettings held = stored;
    held.firmwareVersion = firmwareVersion;
    QByteArray dump;
    for (const DumpLabel &label : dumpLabels()) {
        dump += cp1252::encode(label.text);
        if (label.echoesStep != 0)
            dump += dumpWrittenForm(programmingStepContent(label.echoesStep, held));
        else if (const SettingsField *field = fieldAfter(label))
            dump += heldValue(*field, label, held);
        dump += kLineEnd;
    }
    return dump;
}
