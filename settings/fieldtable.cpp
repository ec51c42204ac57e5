#include "settings/fieldtable.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// The module's dump labels, in the order the module sends them and the
// parser searches them.
enum Label {
    Alias01 = 0,   // Alias01 + n is the label of alias n + 1
    Tussentekst = kAliasCount,
    Leegtekst,
    Lichtkrantleeg,
    Timer1,
    Timer2,
    Wistimer,
    Backlight,
    Scrolltijd,
    Start,
    Versie,
    LabelCount,
};

constexpr std::array<DumpLabel, LabelCount> kDumpLabels = {{
    {u"ALIAS01:"}, {u"ALIAS02:"}, {u"ALIAS03:"}, {u"ALIAS04:"}, {u"ALIAS05:"}, {u"ALIAS06:"},
    {u"ALIAS07:"}, {u"ALIAS08:"}, {u"ALIAS09:"}, {u"ALIAS10:"}, {u"ALIAS11:"}, {u"ALIAS12:"},
    {u"ALIAS13:"}, {u"ALIAS14:"}, {u"ALIAS15:"}, {u"ALIAS16:"},
    {u"TUSSENTEKST:", 26},   // coupling colour, coupling text, message colour
    {u"LEEGTEKST:"},         // the idle text
    {u"LICHTKRANTLEEG:"},    // nothing that is read: it ends the idle text
    {u"TIMER1:"}, {u"TIMER2:"}, {u"WISTIMER:"}, {u"BACKLIGHT:"},
    {u"SCROLLTIJD:"},        // three digits
    {u"START:", 1},          // alias colour and speed
    {u"VERSIE"},             // one character, then the four of the version
}};

const DumpLabel *label(Label l) { return &kDumpLabels[size_t(l)]; }

// A value that starts right after its label and ends two characters (the
// module's CR LF) before the next label.
DumpCut lineUpTo(Label from, Label until)
{
    return DumpCut{label(from), int(label(from)->text.size()), 0, label(until), 2};
}

DumpCut fixedAt(Label from, int offset, int length)
{
    return DumpCut{label(from), offset, length, nullptr, 0};
}

const QString kTimerStandardBox = QStringLiteral("Chk_Standaard_Timers");

SettingsField aliasRow(int index)
{
    const int n = index + 1;
    SettingsField f;
    f.kind = FieldKind::Text;
    f.alias = index;
    f.name = QStringLiteral("alias %1").arg(n, 2, 10, QLatin1Char('0'));
    f.dutchName = QStringLiteral("Alias %1").arg(n);
    f.key = QStringLiteral("alias%1").arg(n, 2, 10, QLatin1Char('0'));
    // The data line uses the module's own alias labels.
    f.fileKey = kDumpLabels[size_t(Alias01 + index)].text.toLatin1();
    f.dump = lineUpTo(Label(Alias01 + index), n < kAliasCount ? Label(Alias01 + n) : Tussentekst);
    f.step = {2 + n};
    f.box = QStringLiteral("Txt_Alias%1").arg(n, 2, 10, QLatin1Char('0'));
    f.reportLabel = QStringLiteral("Alias %1: ").arg(n, 2, 10, QLatin1Char('0'));
    return f;
}

SettingsField textRow(QString ModuleSettings::*member, const char *key, const char *name, const char *dutchName)
{
    SettingsField f;
    f.kind = FieldKind::Text;
    f.member = member;
    f.key = QLatin1String(key);
    f.name = QLatin1String(name);
    f.dutchName = QLatin1String(dutchName);
    return f;
}

SettingsField choiceRow(FieldKind kind, QString ModuleSettings::*member, const char *key, const char *name,
                        const char *dutchName)
{
    SettingsField f = textRow(member, key, name, dutchName);
    f.kind = kind;
    return f;
}

SettingsField timerRow(QString ModuleSettings::*member, const char *key, const char *name, const char *dutchName,
                       TimerUnit unit)
{
    SettingsField f = textRow(member, key, name, dutchName);
    f.kind = FieldKind::Timer;
    f.unit = unit;
    return f;
}

std::vector<SettingsField> buildTable()
{
    std::vector<SettingsField> rows;

    SettingsField receiver;
    receiver.kind = FieldKind::Receiver;
    receiver.name = QStringLiteral("receiver type");
    receiver.key = QStringLiteral("receiverType");
    receiver.dutchName = QStringLiteral("Type ontvanger");
    receiver.box = QStringLiteral("ChkOntvanger_");
    rows.push_back(receiver);

    for (int i = 0; i < kAliasCount; ++i)
        rows.push_back(aliasRow(i));

    SettingsField coupling = textRow(&ModuleSettings::couplingText, "couplingText", "coupling text", "Koppeltekst");
    coupling.fileKey = "KOPPELTEKST:";
    // After "TUSSENTEKST:" the module echoes step 26: "<239><176><239><" (16
    // characters), the coupling colour's three digits and ">" come first;
    // "<239><176><239><", the message colour, ">" and CR LF (22) follow it.
    coupling.dump = DumpCut{label(Tussentekst), 32, 0, label(Leegtekst), 22};
    coupling.step = {26, 1};
    coupling.box = QStringLiteral("Txt_Koppeltekst");
    coupling.reportLabel = QStringLiteral("Koppeltekst : ");
    coupling.standard = {QStringLiteral("Chk_Standaard_Koppeltekst"), QStringLiteral(" >>> "), QStringLiteral("  ")};
    rows.push_back(coupling);

    SettingsField idle = textRow(&ModuleSettings::idleText, "idleText", "idle text", "Tekst LCD in rust");
    idle.fileKey = "TEKST_LCDRUST:";
    idle.dump = lineUpTo(Leegtekst, Lichtkrantleeg);
    idle.step = {25};
    idle.box = QStringLiteral("Txt_LCD_Rust");
    idle.reportLabel = QStringLiteral("Tekst LCD in rust: ");
    idle.standard = {QStringLiteral("Chk_LCD_Standaard_Tekst"), QStringLiteral("GEEN MELDING"), QStringLiteral(" ")};
    rows.push_back(idle);

    SettingsField aliasColour = choiceRow(FieldKind::Colour, &ModuleSettings::aliasColour, "aliasColour", "alias colour", "LED-kleur alias");
    aliasColour.fileKey = "KLEUR_ALIAS:";
    // After "START:" the module echoes step 1: its eight opening bytes,
    // "01", byte 2, "<239><176><239><" take 52 characters.
    aliasColour.dump = fixedAt(Start, 58, 3);
    aliasColour.step = {1, 0};
    aliasColour.box = QStringLiteral("Chk_Kleur_Alias_");
    aliasColour.reportLabel = QStringLiteral("Kleur van de alias        : ");
    aliasColour.atStartUp = QStringLiteral("183");
    rows.push_back(aliasColour);

    SettingsField couplingColour =
        choiceRow(FieldKind::Colour, &ModuleSettings::couplingColour, "couplingColour", "coupling colour", "LED-kleur koppeltekst");
    couplingColour.fileKey = "KLEUR_KOPPELTEKST:";
    // "TUSSENTEKST:" and "<239><176><239><" before it.
    couplingColour.dump = fixedAt(Tussentekst, 28, 3);
    couplingColour.step = {26, 0};
    couplingColour.box = QStringLiteral("Chk_Kleur_Koppel_");
    couplingColour.reportLabel = QStringLiteral("Kleur van de koppeltekst  : ");
    couplingColour.atStartUp = QStringLiteral("176");
    rows.push_back(couplingColour);

    SettingsField messageColour =
        choiceRow(FieldKind::Colour, &ModuleSettings::messageColour, "messageColour", "message colour", "LED-kleur melding");
    messageColour.fileKey = "KLEUR_BERICHT:";
    // The last thing before "LEEGTEKST:": the code, ">" and CR LF.
    messageColour.dump = fixedAt(Leegtekst, -6, 3);
    messageColour.step = {26, 2};
    messageColour.box = QStringLiteral("Chk_Kleur_Bericht_");
    messageColour.reportLabel = QStringLiteral("Kleur van het bericht     : ");
    messageColour.atStartUp = QStringLiteral("183");
    rows.push_back(messageColour);

    SettingsField speed = choiceRow(FieldKind::Speed, &ModuleSettings::scrollSpeed, "scrollSpeed", "scroll speed", "Loopsnelheid lichtkrant");
    speed.fileKey = "SNELHEID:";
    // The alias colour's three digits, then ">", "<239>" and "<" (7).
    speed.dump = fixedAt(Start, 68, 3);
    speed.step = {1, 1};
    speed.box = QStringLiteral("Chk_Snelheid_");
    speed.reportLabel = QStringLiteral("Loopsnelheid lichtkrant   : ");
    speed.atStartUp = QStringLiteral("192");
    rows.push_back(speed);

    struct TimerData {
        QString ModuleSettings::*member;
        int step;
        const char *key;
        const char *name;
        const char *dutchName;
        QByteArray fileKey;
        DumpCut dump;
        const char *box;
        const char *caption;
        const char *toolTip;
        TimerUnit unit;
        const char *reportLabel;
        const char *atStartUp;
        const char *standard;
        const char *whenEmpty;
    };
    const TimerData timers[] = {
        {&ModuleSettings::relayTime, 19, "relayTime", "relay time", "Tijd relais", "TIJD_RELAIS:", lineUpTo(Timer1, Timer2),
         "Timer_RelaisTijd", "relaisuitgang", "tijd dat het relais op moet komen na een melding",
         TimerUnit::Seconds, "Tijd Relais : ", "0", "10", "0"},
        {&ModuleSettings::signClearTime, 20, "signClearTime", "sign clear time", "Tijd wissen lichtkrant", "TIJD_WISLK:",
         lineUpTo(Timer2, Wistimer), "Timer_Wis_Lichtkrant", "wis de melding op de lichtkrant",
         "na de ingevulde tijd wordt de lichtkrant gewist", TimerUnit::Seconds, "Tijd Wissen lichtkrant : ",
         "0", "30", "0"},
        {&ModuleSettings::lcdClearTime, 21, "lcdClearTime", "LCD clear time", "Tijd wissen LCD", "TIJD_WISLCD:",
         lineUpTo(Wistimer, Backlight), "Timer_WisMelding_LCD", "wis de melding op het LCD",
         "na de ingevulde tijd wordt het LCD gewist", TimerUnit::Seconds, "Tijd Wissen LCD : ", "0", "60", "0"},
        {&ModuleSettings::backlightTime, 22, "backlightTime", "backlight time", "Tijd achtergrondverlichting", "TIJD_BACKLIGHT:",
         lineUpTo(Backlight, Scrolltijd), "Timer_Backlight", "achtergrondverlichting LCD",
         "vul hier de tijd in dat de achtergrondverlichting moet blijven branden", TimerUnit::Seconds,
         "Tijd Achtergrondverlichting : ", "0", "9999", "0"},
        // The module keeps the scroll time in three digits; it cannot scroll at 0 ms.
        {&ModuleSettings::scrollTime, 23, "scrollTime", "scroll time", "Tijd scrollen", "TIJD_SCROLLENLCD:",
         fixedAt(Scrolltijd, int(label(Scrolltijd)->text.size()), 3), "Timer_Scroll_LCD",
         "scrollen regel 3 en 4 LCD", "vul hier de tijd in dat het bericht op het LCD moet scrollen",
         TimerUnit::Milliseconds, "Tijd Scrollen regel 3 en 4 : ", "000", "350", "350"},
    };
    for (const TimerData &t : timers) {
        SettingsField f = timerRow(t.member, t.key, t.name, t.dutchName, t.unit);
        f.fileKey = t.fileKey;
        f.dump = t.dump;
        f.step = {t.step};
        f.box = QLatin1String(t.box);
        f.caption = QLatin1String(t.caption);
        f.toolTip = QLatin1String(t.toolTip);
        f.reportLabel = QLatin1String(t.reportLabel);
        f.atStartUp = QLatin1String(t.atStartUp);
        f.standard = {kTimerStandardBox, QLatin1String(t.standard), QLatin1String(t.atStartUp)};
        f.whenEmpty = QLatin1String(t.whenEmpty);
        f.zeroIsEmpty = t.unit == TimerUnit::Milliseconds;
        rows.push_back(f);
    }

    SettingsField version = textRow(&ModuleSettings::firmwareVersion, "firmwareVersion", "firmware version", "Firmwareversie");
    version.kind = FieldKind::Version;
    // "VERSIE", one character the parser skips, then the version.
    version.dump = fixedAt(Versie, 7, 4);
    version.box = QStringLiteral("Txt_Versie");
    rows.push_back(version);
    return rows;
}

const std::vector<SettingsField> &table()
{
    static const std::vector<SettingsField> rows = buildTable();
    return rows;
}

} // namespace

std::span<const DumpLabel> dumpLabels() { return kDumpLabels; }

int SettingsField::boxLength() const
{
    switch (kind) {
    case FieldKind::Text: return kTextLimit;
    case FieldKind::Timer: return kTimerLimit;
    default: return 0;
    }
}

QString SettingsField::limited(const QString &text) const
{
    const int length = boxLength();
    return length > 0 ? text.left(length) : text;
}

QString &SettingsField::in(ModuleSettings &settings) const
{
    Q_ASSERT(kind != FieldKind::Receiver);
    return alias >= 0 ? settings.aliases[size_t(alias)] : settings.*member;
}

const QString &SettingsField::in(const ModuleSettings &settings) const
{
    return in(const_cast<ModuleSettings &>(settings));
}

std::span<const SettingsField> settingsFields() { return table(); }

const SettingsField &settingsField(QString ModuleSettings::*member)
{
    const auto &rows = table();
    const auto row = std::find_if(rows.begin(), rows.end(), [member](const SettingsField &f) { return f.member == member; });
    Q_ASSERT(row != rows.end());
    return *row;
}

const SettingsField &aliasField(int index)
{
    const auto &rows = table();
    return *std::find_if(rows.begin(), rows.end(), [index](const SettingsField &f) { return f.alias == index; });
}

const SettingsField &receiverField()
{
    const auto &rows = table();
    return *std::find_if(rows.begin(), rows.end(), [](const SettingsField &f) { return f.kind == FieldKind::Receiver; });
}

QList<const SettingsField *> fieldsOfKind(FieldKind kind)
{
    QList<const SettingsField *> fields;
    for (const SettingsField &f : table()) {
        if (f.kind == kind)
            fields.append(&f);
    }
    return fields;
}

std::span<const CodeChoice> choicesOf(const SettingsField &field)
{
    if (field.kind == FieldKind::Speed)
        return kSpeedChoices;
    return kColourChoices;
}

std::optional<int> choiceIndex(const SettingsField &field, QStringView code)
{
    return codeIndex(choicesOf(field), code);
}

QString choiceWord(const SettingsField &field, QStringView code)
{
    return codeWord(choicesOf(field), code);
}

QString receiverName(ReceiverType type)
{
    return type == ReceiverType::Flex ? QStringLiteral("FLEX") : QStringLiteral("POCSAG");
}

QJsonObject settingsObject(const ModuleSettings &settings)
{
    QJsonObject object;
    for (const SettingsField &field : table())
        object.insert(field.key, field.kind == FieldKind::Receiver ? receiverName(settings.receiverType) : field.in(settings));
    return object;
}

QString unitCaption(TimerUnit unit)
{
    return unit == TimerUnit::Milliseconds ? QStringLiteral("mSec.") : QStringLiteral("Sec.");
}

QString reportUnit(TimerUnit unit)
{
    return unit == TimerUnit::Milliseconds ? QStringLiteral(" mSec") : QStringLiteral(" seconde");
}
