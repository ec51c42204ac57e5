#include "settings/modulesettings.h"

QString &ModuleSettings::timer(TimerField field)
{
    switch (field) {
    case TimerField::Relay: return relayTime;
    case TimerField::SignClear: return signClearTime;
    case TimerField::LcdClear: return lcdClearTime;
    case TimerField::Backlight: return backlightTime;
    case TimerField::Scroll: return scrollTime;
    }
    return scrollTime;
}

const QString &ModuleSettings::timer(TimerField field) const
{
    return const_cast<ModuleSettings *>(this)->timer(field);
}

ModuleSettings startupSettings()
{
    ModuleSettings s;
    s.receiverType = ReceiverType::Flex;
    s.aliasColour = QStringLiteral("183");
    s.messageColour = QStringLiteral("183");
    s.couplingColour = QStringLiteral("176");
    s.scrollSpeed = QStringLiteral("192");
    for (int i = 0; i < int(kTimerFields.size()); ++i)
        s.timer(kTimerFields[i]) = kStandardTimersCleared[i];
    return s;
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

namespace {

template <std::size_t N>
std::optional<int> indexOf(const std::array<CodeChoice, N> &table, QStringView code)
{
    for (int i = 0; i < int(N); ++i) {
        if (code == QLatin1String(table[i].code))
            return i;
    }
    return std::nullopt;
}

template <std::size_t N>
QString wordOf(const std::array<CodeChoice, N> &table, QStringView code)
{
    const auto i = indexOf(table, code);
    return i ? QString::fromLatin1(table[*i].word) : QString();
}

} // namespace

std::optional<int> colourIndex(QStringView code) { return indexOf(kColourChoices, code); }
std::optional<int> speedIndex(QStringView code) { return indexOf(kSpeedChoices, code); }
QString colourWord(QStringView code) { return wordOf(kColourChoices, code); }
QString speedWord(QStringView code) { return wordOf(kSpeedChoices, code); }

void normaliseTimers(ModuleSettings &settings)
{
    for (TimerField f : {TimerField::Relay, TimerField::SignClear, TimerField::LcdClear,
                         TimerField::Backlight}) {
        if (settings.timer(f).isEmpty())
            settings.timer(f) = QStringLiteral("0");
    }
    QString &scroll = settings.scrollTime;
    if (scroll.isEmpty() || scroll == u"0" || scroll == u"00" || scroll == u"000" || scroll == u"0000")
        scroll = QStringLiteral("350");
}

QString padTimer(const QString &text)
{
    if (text.isEmpty() || text.size() >= kTimerLimit)
        return text;
    return QString(kTimerLimit - text.size(), QLatin1Char('0')) + text;
}

QString limitText(const QString &text) { return text.left(kTextLimit); }
QString limitTimer(const QString &text) { return text.left(kTimerLimit); }

ModuleSettings applyUpdate(ModuleSettings settings, const SettingsUpdate &update)
{
    const ModuleSettings &v = update.values;
    if (update.setsReceiverType)
        settings.receiverType = v.receiverType;
    for (int i = 0; i < kAliasCount; ++i)
        settings.aliases[i] = limitText(v.aliases[i]);
    settings.couplingText = limitText(v.couplingText);
    settings.idleText = limitText(v.idleText);
    for (TimerField f : kTimerFields)
        settings.timer(f) = limitTimer(v.timer(f));
    if (colourIndex(v.aliasColour))
        settings.aliasColour = v.aliasColour;
    if (colourIndex(v.couplingColour))
        settings.couplingColour = v.couplingColour;
    if (colourIndex(v.messageColour))
        settings.messageColour = v.messageColour;
    if (speedIndex(v.scrollSpeed))
        settings.scrollSpeed = v.scrollSpeed;
    if (update.setsFirmwareVersion)
        settings.firmwareVersion = v.firmwareVersion;
    return settings;
}
