#include "link/frames.h"

#include "settings/codec.h"

#include <algorithm>

namespace {

constexpr char kSelect = char(0xEF);
constexpr char kColourSelect = char(0xB0);

// The fixed bytes a step starts with, before the fields it carries. Step 1
// opens with eight bytes and "01" 02, which the module expects before its
// colour and speed selectors; steps 2 and 24 carry nothing but fixed bytes.
QByteArray fixedStepBytes(int step)
{
    switch (step) {
    case 1: return QByteArray::fromHex("00FFFF000B00FF01") + "01" + char(0x02);
    case 2: return QByteArray::fromHex("FFFF00");
    case 24: return QByteArray(" ");
    default: return {};
    }
}

// A colour on the sign: EF B0 EF colour, the B0 fixed whatever the colour.
// A speed: EF speed.
QByteArray selector(const SettingsField &field, const QString &code)
{
    QByteArray bytes(1, kSelect);
    if (field.kind == FieldKind::Colour)
        bytes.append(kColourSelect).append(kSelect);
    bytes.append(char(codeByte(code)));
    return bytes;
}

QByteArray encodedValue(const SettingsField &field, const ModuleSettings &settings)
{
    if (field.isChoice())
        return selector(field, field.in(settings));
    return cp1252::encode(sentText(field, settings));
}

// The bytes a selector of `field` takes; -1 for a text, which takes the rest.
qsizetype selectorSize(const SettingsField &field)
{
    switch (field.kind) {
    case FieldKind::Colour: return 4;
    case FieldKind::Speed: return 2;
    default: return -1;
    }
}

// The code a selector carries, when its fixed bytes are right.
std::optional<QString> selectedCode(const SettingsField &field, QByteArrayView bytes)
{
    const QByteArray expected = selector(field, QString()).chopped(1);
    if (!bytes.startsWith(expected))
        return std::nullopt;
    return QString::number(static_cast<unsigned char>(bytes.back()));
}

} // namespace

QByteArray moduleFrame(const QString &code, const QByteArray &content)
{
    QByteArray frame;
    frame.reserve(content.size() + code.size() + 4);
    frame.append(kSoh);
    frame.append('(');
    frame.append(cp1252::encode(code));
    frame.append(')');
    frame.append(content);
    frame.append(kEot);
    return frame;
}

QString programmingStepCode(int step)
{
    return QString::number(kFirstStepCode - 1 + step);
}

std::optional<int> programmingStepOf(const QString &code)
{
    bool ok = false;
    const int step = code.toInt(&ok) - (kFirstStepCode - 1);
    if (!ok || code.size() != 2 || step < 1 || step > kProgrammingStepCount)
        return std::nullopt;
    return step;
}

quint8 codeByte(const QString &code)
{
    // The window only ever holds the codes of its colour and speed tables,
    // all of them decimal numbers below 256.
    bool ok = false;
    const int value = code.toInt(&ok);
    return ok && value >= 0 && value <= 255 ? quint8(value) : quint8(0);
}

QList<const SettingsField *> fieldsOfStep(int step)
{
    QList<const SettingsField *> fields;
    for (const SettingsField &field : settingsFields()) {
        if (field.step.step == step)
            fields.append(&field);
    }
    std::stable_sort(fields.begin(), fields.end(),
                     [](const SettingsField *a, const SettingsField *b) { return a->step.part < b->step.part; });
    return fields;
}

QString sentText(const SettingsField &field, const ModuleSettings &settings)
{
    const QString &text = field.in(settings);
    if (field.alias >= 0 && text.isEmpty())
        return QStringLiteral("CAPCODE %1").arg(field.alias + 1, 2, 10, QLatin1Char('0'));
    if (field.kind == FieldKind::Timer)
        return padTimer(text);
    return text;
}

QByteArray programmingStepContent(int step, const ModuleSettings &settings)
{
    QByteArray content = fixedStepBytes(step);
    for (const SettingsField *field : fieldsOfStep(step))
        content.append(encodedValue(*field, settings));
    return content;
}

QByteArray programmingStepFrame(int step, const ModuleSettings &settings)
{
    return moduleFrame(programmingStepCode(step), programmingStepContent(step, settings));
}

std::optional<QList<StepValue>> decodeProgrammingStep(int step, QByteArrayView content)
{
    const QByteArray fixed = fixedStepBytes(step);
    if (!content.startsWith(fixed))
        return std::nullopt;
    QByteArrayView rest = content.sliced(fixed.size());
    const QList<const SettingsField *> fields = fieldsOfStep(step);
    // Selectors have a fixed size; the one text of a step takes what they leave.
    qsizetype fixedSize = 0;
    for (const SettingsField *field : fields)
        fixedSize += std::max<qsizetype>(selectorSize(*field), 0);
    const bool hasText = std::any_of(fields.begin(), fields.end(),
                                     [](const SettingsField *f) { return selectorSize(*f) < 0; });
    if (rest.size() < fixedSize || (!hasText && rest.size() != fixedSize))
        return std::nullopt;
    QList<StepValue> values;
    for (const SettingsField *field : fields) {
        const qsizetype size = selectorSize(*field);
        if (size < 0) {
            const qsizetype textSize = rest.size() - fixedSize;
            values.append({field, cp1252::decode(rest.first(textSize))});
            rest = rest.sliced(textSize);
            continue;
        }
        const std::optional<QString> code = selectedCode(*field, rest.first(size));
        if (!code)
            return std::nullopt;
        values.append({field, *code});
        rest = rest.sliced(size);
        fixedSize -= size;
    }
    return values;
}

ModuleSettings settingsAsSent(ModuleSettings settings)
{
    for (const SettingsField &field : settingsFields()) {
        if (field.isSent() && field.isText())
            field.in(settings) = sentText(field, settings);
    }
    return settings;
}

bool isTestCallCode(const QString &code)
{
    // A capcode as its plain number: "05" or " 5" would go out as typed.
    bool ok = false;
    const int capcode = code.toInt(&ok);
    if (ok)
        return capcode >= 1 && capcode <= kAliasCount && QString::number(capcode) == code;
    // RI-codes "1D" .. "7D"
    return code.size() == 2 && code[0] >= u'1' && code[0] < QChar(u'1' + kPocsagAliasCount) && code[1] == u'D';
}

QByteArray testCallFrame(const QString &code, const QString &message)
{
    return moduleFrame(code, cp1252::encode(message.isEmpty() ? kDefaultTestMessage : message));
}

QByteArray noNetworkFrame()
{
    return moduleFrame(kNoNetworkCode, cp1252::encode(kNoNetworkText));
}

QByteArray readRequestFrame()
{
    return moduleFrame(kReadRequestCode, {});
}
