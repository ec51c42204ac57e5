#include "link/frames.h"

#include "settings/codec.h"

namespace {

constexpr int kFirstAliasStep = 3;
constexpr int kFirstTimerStep = 19;

// The fixed opening of step 1; the module expects it before the "01" that
// follows and before the colour and speed selectors.
const QByteArray kStep1Opening = QByteArray::fromHex("00FFFF000B00FF01");
const QByteArray kStep2Content = QByteArray::fromHex("FFFF00");

// Selects a colour on the sign: EF B0 EF colour. The B0 is fixed, whatever
// the colour.
QByteArray colourSelector(const QString &code)
{
    QByteArray bytes = QByteArray::fromHex("EFB0EF");
    bytes.append(char(codeByte(code)));
    return bytes;
}

QByteArray speedSelector(const QString &code)
{
    QByteArray bytes(1, char(0xEF));
    bytes.append(char(codeByte(code)));
    return bytes;
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

quint8 codeByte(const QString &code)
{
    // The window only ever holds the codes of its colour and speed tables,
    // all of them decimal numbers below 256.
    bool ok = false;
    const int value = code.toInt(&ok);
    return ok && value >= 0 && value <= 255 ? quint8(value) : quint8(0);
}

std::optional<TimerField> timerOfStep(int step)
{
    const int index = step - kFirstTimerStep;
    if (index < 0 || index >= int(kTimerFields.size()))
        return std::nullopt;
    return kTimerFields[size_t(index)];
}

QString aliasValue(const ModuleSettings &settings, int n)
{
    const QString &text = settings.aliases[size_t(n - 1)];
    if (text.isEmpty())
        return QStringLiteral("CAPCODE %1").arg(n, 2, 10, QLatin1Char('0'));
    return text;
}

QByteArray programmingStepContent(int step, const ModuleSettings &settings)
{
    if (step == 1) {
        QByteArray content = kStep1Opening;
        content.append("01");
        content.append(char(0x02));
        content.append(colourSelector(settings.aliasColour));
        content.append(speedSelector(settings.scrollSpeed));
        return content;
    }
    if (step == 2)
        return kStep2Content;
    if (step >= kFirstAliasStep && step < kFirstAliasStep + kAliasCount)
        return cp1252::encode(aliasValue(settings, step - kFirstAliasStep + 1));
    if (const auto timer = timerOfStep(step))
        return cp1252::encode(padTimer(settings.timer(*timer)));
    if (step == 24)
        return QByteArray(" ");
    if (step == 25)
        return cp1252::encode(settings.idleText);
    if (step == 26) {
        QByteArray content = colourSelector(settings.couplingColour);
        content.append(cp1252::encode(settings.couplingText));
        content.append(colourSelector(settings.messageColour));
        return content;
    }
    return {};
}

QByteArray programmingStepFrame(int step, const ModuleSettings &settings)
{
    return moduleFrame(programmingStepCode(step), programmingStepContent(step, settings));
}

ModuleSettings settingsAsSent(ModuleSettings settings)
{
    for (int n = 1; n <= kAliasCount; ++n)
        settings.aliases[size_t(n - 1)] = aliasValue(settings, n);
    for (TimerField field : kTimerFields)
        settings.timer(field) = padTimer(settings.timer(field));
    return settings;
}

bool isTestCallCode(const QString &code)
{
    bool ok = false;
    const int capcode = code.toInt(&ok);
    if (ok)
        return capcode >= 1 && capcode <= 16;
    // RI-codes "1D" .. "7D"
    return code.size() == 2 && code[0] >= u'1' && code[0] <= u'7' && code[1] == u'D';
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
