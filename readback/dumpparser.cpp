#include "readback/dumpparser.h"

#include "settings/textrule.h"

namespace {

enum Key {
    Alias01 = 0,   // Alias01 + n is the key of alias n + 1
    Tussentekst = 16,
    Leegtekst,
    Lichtkrantleeg,
    Timer1,
    Timer2,
    Wistimer,
    Backlight,
    Scrolltijd,
    Start,
    Versie,
};

struct Positions {
    std::array<int, kDumpKeyCount> at{};
    int operator[](Key k) const { return at[k]; }
};

// Position (from 1) of the key's first occurrence, if it starts at or before
// the last position the module's 16-bit counting reaches.
std::optional<int> locate(QStringView dump, QStringView key)
{
    const qsizetype index = dump.indexOf(key, 0, Qt::CaseSensitive);
    if (index < 0 || index + 1 > kLastDumpPosition)
        return std::nullopt;
    return int(index + 1);
}

bool fitsSigned16(int value) { return value >= -32768 && value <= 32767; }

class Cutter {
public:
    Cutter(QStringView dump, const Positions &p) : m_dump(dump), m_p(p) {}

    // Characters from `start` (counting from 1) over `length`: empty from
    // past the end, cut short at the end. Refuses what the module's 16-bit
    // arithmetic could not have meant: a negative length, a start before the
    // first character, anything outside 16 bits.
    QString cut(const char *field, int start, int length)
    {
        if (!m_rejection.isEmpty())
            return {};
        if (!fitsSigned16(start) || !fitsSigned16(length))
            return reject(field, "lies outside the 16-bit range");
        if (length < 0)
            return reject(field, "has a negative length");
        if (start < 1)
            return reject(field, "starts before the dump");
        if (start > m_dump.size())
            return QString();
        return m_dump.mid(start - 1, length).toString();
    }

    // A text between its key and the next one: it starts right after its key
    // and ends two characters (the module's line end) before the next key.
    QString between(const char *field, Key key, Key next)
    {
        const int keyLength = int(kDumpKeys[key].size());
        return cut(field, m_p[key] + keyLength, m_p[next] - m_p[key] - keyLength - 2);
    }

    const QString &rejection() const { return m_rejection; }

private:
    QString reject(const char *field, const char *why)
    {
        m_rejection = QStringLiteral("%1 %2").arg(QLatin1String(field), QLatin1String(why));
        return {};
    }

    QStringView m_dump;
    const Positions &m_p;
    QString m_rejection;
};

} // namespace

const std::array<QStringView, kDumpKeyCount> kDumpKeys = {
    u"ALIAS01:", u"ALIAS02:", u"ALIAS03:", u"ALIAS04:", u"ALIAS05:", u"ALIAS06:",
    u"ALIAS07:", u"ALIAS08:", u"ALIAS09:", u"ALIAS10:", u"ALIAS11:", u"ALIAS12:",
    u"ALIAS13:", u"ALIAS14:", u"ALIAS15:", u"ALIAS16:",
    u"TUSSENTEKST:", u"LEEGTEKST:", u"LICHTKRANTLEEG:",
    u"TIMER1:", u"TIMER2:", u"WISTIMER:", u"BACKLIGHT:", u"SCROLLTIJD:",
    u"START:", u"VERSIE",
};

DumpParse parseModuleDump(QStringView dump)
{
    DumpParse result;

    // Every key is found before any value is cut: a dump that lacks one is
    // refused whole rather than half applied.
    Positions p;
    for (int k = 0; k < kDumpKeyCount; ++k) {
        const auto position = locate(dump, kDumpKeys[k]);
        if (!position) {
            result.rejection = QStringLiteral("key \"%1\" not found").arg(kDumpKeys[k]);
            return result;
        }
        p.at[k] = *position;
    }

    Cutter c(dump, p);
    SettingsUpdate update;
    update.setsFirmwareVersion = true;
    update.setsReceiverType = false;   // the dump does not carry it
    ModuleSettings &v = update.values;

    for (int n = 0; n < kAliasCount; ++n)
        v.aliases[n] = c.between("alias", Key(Alias01 + n), Key(Alias01 + n + 1));

    // After "TUSSENTEKST:" the module writes back programming step 26:
    // "<239><176><239><" (16 characters), the coupling colour code, ">", the
    // text, "<239><176><239><", the message colour code, ">" and its line end.
    v.couplingText = c.cut("coupling text", p[Tussentekst] + 32,
                           p[Leegtekst] - p[Tussentekst] - 54);
    v.idleText = c.between("idle text", Leegtekst, Lichtkrantleeg);
    v.relayTime = c.between("relay time", Timer1, Timer2);
    v.signClearTime = c.between("sign clear time", Timer2, Wistimer);
    v.lcdClearTime = c.between("LCD clear time", Wistimer, Backlight);
    v.backlightTime = c.between("backlight time", Backlight, Scrolltijd);
    // The module keeps the scroll time in three digits.
    v.scrollTime = c.cut("scroll time", p[Scrolltijd] + 11, 3);

    // After "START:" the module writes back programming step 1; its colour
    // and speed bytes appear as their three-digit codes at fixed offsets.
    v.aliasColour = c.cut("alias colour", p[Start] + 58, 3);
    v.couplingColour = c.cut("coupling colour", p[Tussentekst] + 28, 3);
    v.messageColour = c.cut("message colour", p[Leegtekst] - 6, 3);
    v.scrollSpeed = c.cut("scroll speed", p[Start] + 68, 3);
    // "VERSIE", one character, the four-character version.
    v.firmwareVersion = c.cut("firmware version", p[Versie] + 7, 4);

    if (!c.rejection().isEmpty()) {
        result.rejection = c.rejection();
        return result;
    }
    // A value the window, the module or a file cannot carry refuses the
    // dump whole: nothing is cut or cleaned without a word.
    if (const auto fault = firstTextFault(v)) {
        result.rejection = fault->english();
        return result;
    }
    result.update = update;
    return result;
}

bool isDumpComplete(QStringView dump)
{
    // The version comes last: until it is there, nothing else is looked for.
    if (!dump.contains(kDumpKeys[Versie]))
        return false;
    int versionAt = 0;
    for (int k = 0; k < kDumpKeyCount; ++k) {
        const auto position = locate(dump, kDumpKeys[k]);
        if (!position)
            return false;
        if (k == Versie)
            versionAt = *position;
    }
    // "VERSIE", one character, four characters of the version.
    return dump.size() >= versionAt - 1 + 6 + 1 + 4;
}

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
