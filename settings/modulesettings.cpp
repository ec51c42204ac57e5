#include "settings/modulesettings.h"

#include "settings/fieldtable.h"

#include <QRegularExpression>

ModuleSettings startupSettings()
{
    ModuleSettings s;
    s.receiverType = ReceiverType::Flex;
    for (const SettingsField &field : settingsFields()) {
        if (field.kind != FieldKind::Receiver)
            field.in(s) = field.atStartUp;
    }
    return s;
}

ModuleSettings withStandardValues(ModuleSettings settings, bool checked)
{
    for (const SettingsField &field : settingsFields()) {
        if (!field.standard.box.isEmpty())
            field.in(settings) = checked ? field.standard.checked : field.standard.cleared;
    }
    return settings;
}

QString dutchMonthName(int month)
{
    static const std::array<QString, 12> names = {
        QStringLiteral(" januari "), QStringLiteral(" februari "), QStringLiteral(" maart "),
        QStringLiteral(" april "), QStringLiteral(" mei "), QStringLiteral(" juni "),
        QStringLiteral(" juli "), QStringLiteral(" augustus "), QStringLiteral(" september "),
        QStringLiteral(" oktober "), QStringLiteral(" november "), QStringLiteral(" december "),
    };
    if (month < 1 || month > 12)
        return {};
    return names[size_t(month - 1)];
}

std::optional<int> codeIndex(std::span<const CodeChoice> choices, QStringView code)
{
    for (int i = 0; i < int(choices.size()); ++i) {
        if (code == QLatin1String(choices[size_t(i)].code))
            return i;
    }
    return std::nullopt;
}

QString codeWord(std::span<const CodeChoice> choices, QStringView code)
{
    const auto i = codeIndex(choices, code);
    return i ? QString::fromLatin1(choices[size_t(*i)].word) : QString();
}

std::optional<int> colourIndex(QStringView code) { return codeIndex(kColourChoices, code); }
std::optional<int> speedIndex(QStringView code) { return codeIndex(kSpeedChoices, code); }

void normaliseTimers(ModuleSettings &settings)
{
    static const QRegularExpression zeros(QStringLiteral("^0{1,4}$"));
    for (const SettingsField *field : fieldsOfKind(FieldKind::Timer)) {
        QString &text = field->in(settings);
        if (text.isEmpty() || (field->zeroIsEmpty && zeros.match(text).hasMatch()))
            text = field->whenEmpty;
    }
}

QString padTimer(const QString &text)
{
    if (text.isEmpty() || text.size() >= kTimerLimit)
        return text;
    return QString(kTimerLimit - text.size(), QLatin1Char('0')) + text;
}

ModuleSettings applyUpdate(ModuleSettings settings, const SettingsUpdate &update)
{
    const ModuleSettings &v = update.values;
    for (const SettingsField &field : settingsFields()) {
        switch (field.kind) {
        case FieldKind::Receiver:
            if (update.setsReceiverType)
                settings.receiverType = v.receiverType;
            break;
        case FieldKind::Text:
        case FieldKind::Timer:
            field.in(settings) = field.limited(field.in(v));
            break;
        case FieldKind::Colour:
        case FieldKind::Speed:
            // A code that is none of the table's keeps the current choice.
            if (choiceIndex(field, field.in(v)))
                field.in(settings) = field.in(v);
            break;
        case FieldKind::Version:
            if (update.setsFirmwareVersion)
                field.in(settings) = field.in(v);
            break;
        }
    }
    return settings;
}
