#include "readback/dumpcomparison.h"

#include "link/frames.h"
#include "link/moduledump.h"
#include "settings/codec.h"
#include "settings/fieldtable.h"

namespace {

// A value as a correctly programmed module's dump gives it back. Inside an
// echoed step (the coupling text, after "TUSSENTEKST:") a character outside
// printable ASCII appears as its byte value in angle brackets ("café" reads
// "caf<233>"). A timer the dump gives in fewer digits than were sent (the
// scroll time: "0350" comes back as "350") loses only leading zeros, so a
// scroll time of four significant digits, which the module cannot hold,
// shows as a difference.
QString asDumped(const SettingsField &field, const QString &sent)
{
    if (field.kind == FieldKind::Text && field.dump.label && field.dump.label->echoesStep != 0)
        return cp1252::decode(dumpWrittenForm(cp1252::encode(sent)));
    if (field.kind == FieldKind::Timer && field.dump.length > 0) {
        QString held = sent;
        while (held.size() > field.dump.length && held.startsWith(u'0'))
            held.remove(0, 1);
        return held;
    }
    return sent;
}

// The values a module is sent, field by field in table order; each with
// the first side's value as `shown` holds it.
QList<FieldDifference> sentDifferences(const ModuleSettings &a, const ModuleSettings &b, const ModuleSettings &shown)
{
    QList<FieldDifference> differences;
    for (const SettingsField &field : settingsFields()) {
        if (field.isSent() && field.in(a) != field.in(b))
            differences.append({field.name, field.in(shown), field.in(b), field.key});
    }
    return differences;
}

QList<FieldDifference> sentDifferences(const ModuleSettings &a, const ModuleSettings &b)
{
    return sentDifferences(a, b, a);
}

} // namespace

ModuleSettings asModuleHolds(const ModuleSettings &settings)
{
    ModuleSettings held = settingsAsSent(settings);
    for (const SettingsField &field : settingsFields()) {
        if (field.isSent())
            field.in(held) = asDumped(field, field.in(held));
    }
    return held;
}

QList<FieldDifference> settingsDifferences(const ModuleSettings &a, const ModuleSettings &b)
{
    QList<FieldDifference> differences;
    if (a.receiverType != b.receiverType)
        differences.append({receiverField().name, receiverName(a.receiverType), receiverName(b.receiverType),
                            receiverField().key});
    return differences + sentDifferences(a, b);
}

QList<FieldDifference> heldDifferences(const ModuleSettings &a, const ModuleSettings &b)
{
    return sentDifferences(asModuleHolds(a), asModuleHolds(b));
}

QList<FieldDifference> moduleDifferences(const ModuleSettings &written, const ModuleSettings &read)
{
    return sentDifferences(asModuleHolds(written), read);
}

QList<FieldDifference> fileDifferences(const ModuleSettings &file, const ModuleSettings &read)
{
    return sentDifferences(asModuleHolds(file), read, file);
}
