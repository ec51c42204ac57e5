#include "sim/moduledump.h"

#include "link/frames.h"
#include "readback/dumpparser.h"
#include "settings/codec.h"

namespace {

const QByteArray kLineEnd("\r\n");

// The module keeps the scroll time in three digits: the last three of the
// four it was sent ("0350" -> "350").
QByteArray threeDigitScrollTime(const QString &stored)
{
    QByteArray digits = cp1252::encode(stored).right(3);
    digits.prepend(QByteArray(3 - digits.size(), '0'));
    return digits;
}

} // namespace

QByteArray moduleDump(const ModuleSettings &stored, const QString &firmwareVersion)
{
    QByteArray dump;
    for (int n = 1; n <= kAliasCount; ++n) {
        // The alias as programmed: an empty one reached the module as "CAPCODE nn".
        dump += QByteArray("ALIAS") + QByteArray::number(n).rightJustified(2, '0') + ':'
                + programmingStepContent(n + 2, stored) + kLineEnd;
    }
    dump += "TUSSENTEKST:" + dumpWrittenForm(programmingStepContent(26, stored)) + kLineEnd;
    dump += "LEEGTEKST:" + cp1252::encode(stored.idleText) + kLineEnd;
    dump += "LICHTKRANTLEEG:" + kLineEnd;
    dump += "TIMER1:" + cp1252::encode(stored.relayTime) + kLineEnd;
    dump += "TIMER2:" + cp1252::encode(stored.signClearTime) + kLineEnd;
    dump += "WISTIMER:" + cp1252::encode(stored.lcdClearTime) + kLineEnd;
    dump += "BACKLIGHT:" + cp1252::encode(stored.backlightTime) + kLineEnd;
    dump += "SCROLLTIJD:" + threeDigitScrollTime(stored.scrollTime) + kLineEnd;
    dump += "START:" + dumpWrittenForm(programmingStepContent(1, stored)) + kLineEnd;
    dump += "VERSIE " + cp1252::encode(firmwareVersion) + kLineEnd;
    return dump;
}

ModuleSettings largestModuleSettings()
{
    ModuleSettings s = startupSettings();
    for (int i = 0; i < kAliasCount; ++i)
        s.aliases[size_t(i)] = QString(kTextLimit, QChar(u'A' + i));
    s.couplingText = QString(kTextLimit, u'>');
    s.idleText = QString(kTextLimit, u'_');
    for (TimerField field : kTimerFields)
        s.timer(field) = QStringLiteral("9999");
    return s;
}
