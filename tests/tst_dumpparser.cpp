// The module dump parser: where each value is cut, what a faulty dump does,
// and the simulated module's dump read back through it.

#include "readback/dumpparser.h"
#include "settings/codec.h"
#include "link/moduledump.h"
#include "support/fixtures.h"

#include <QtTest>

namespace {

QString aliasLines(const std::array<QString, kAliasCount> &texts)
{
    QString out;
    for (int n = 1; n <= kAliasCount; ++n)
        out += QStringLiteral("ALIAS%1:%2\r\n").arg(n, 2, 10, QLatin1Char('0')).arg(texts[n - 1]);
    return out;
}

std::array<QString, kAliasCount> knownAliases()
{
    std::array<QString, kAliasCount> a;
    for (int n = 1; n <= kAliasCount; ++n)
        a[n - 1] = QStringLiteral("Alias %1").arg(n);
    return a;
}

// A dump as the module sends it, with the four codes where it puts them.
QString dumpWithCodes(const QString &alias, const QString &coupling, const QString &message,
                      const QString &speed)
{
    return aliasLines(knownAliases())
        + QStringLiteral("TUSSENTEKST:<239><176><239><%1> >>> <239><176><239><%2>\r\n").arg(coupling, message)
        + QStringLiteral("LEEGTEKST:GEEN MELDING\r\n"
                         "LICHTKRANTLEEG:\r\n"
                         "TIMER1:0010\r\n"
                         "TIMER2:0030\r\n"
                         "WISTIMER:0060\r\n"
                         "BACKLIGHT:9999\r\n"
                         "SCROLLTIJD:350\r\n")
        + QStringLiteral("START:<0><255><255><0><11><0><255><1>01<2><239><176><239><%1><239><%2>\r\n").arg(alias, speed)
        + QStringLiteral("VERSIE 1.30\r\n");
}

QString knownDump() { return dumpWithCodes("176", "181", "183", "197"); }

// The values knownDump() carries.
ModuleSettings knownValues()
{
    ModuleSettings s;
    s.aliases = knownAliases();
    s.couplingText = " >>> ";
    s.idleText = "GEEN MELDING";
    setCodes(s, "176", "181", "183", "197");
    setTimers(s, {"0010", "0030", "0060", "9999", "350"});
    s.firmwareVersion = "1.30";
    return s;
}

QString fieldOf(const ModuleSettings &s, const QString &name)
{
    if (name.startsWith("alias") && name.mid(5).toInt() > 0)
        return s.aliases[name.mid(5).toInt() - 1];
    static const QHash<QString, QString ModuleSettings::*> fields = {
        {"couplingText", &ModuleSettings::couplingText},
        {"idleText", &ModuleSettings::idleText},
        {"aliasColour", &ModuleSettings::aliasColour},
        {"couplingColour", &ModuleSettings::couplingColour},
        {"messageColour", &ModuleSettings::messageColour},
        {"scrollSpeed", &ModuleSettings::scrollSpeed},
        {"relayTime", &ModuleSettings::relayTime},
        {"signClearTime", &ModuleSettings::signClearTime},
        {"lcdClearTime", &ModuleSettings::lcdClearTime},
        {"backlightTime", &ModuleSettings::backlightTime},
        {"scrollTime", &ModuleSettings::scrollTime},
        {"firmwareVersion", &ModuleSettings::firmwareVersion},
    };
    Q_ASSERT(fields.contains(name));
    return s.*fields.value(name);
}

QString replaced(QString text, const QString &from, const QString &to)
{
    Q_ASSERT(text.contains(from));
    return text.replace(text.indexOf(from), from.size(), to);
}

// The dump with `filler` characters put in before `key`, so that the key
// lands at the given position (counted from 1).
QString withKeyAt(const QString &dump, const QString &key, int position)
{
    // Filler in front of everything, so every value stays as it was.
    const int index = int(dump.indexOf(key));
    return QString(position - 1 - index, QLatin1Char('.')) + dump;
}

// Settings that differ from knownValues() in every field, so that a parse
// that changes nothing is told apart from one that writes the same values.
ModuleSettings otherSettings()
{
    ModuleSettings s = startupSettings();
    setAliases(s, QStringLiteral("eigen %1"));
    s.couplingText = "koppel";
    s.idleText = "rust";
    s.relayTime = "1";
    s.firmwareVersion = "0.99";
    return s;
}

} // namespace

class TestDumpParser : public QObject {
    Q_OBJECT
private slots:
    void moduleWritesTheLayoutTheParserCuts();
    void knownDumpYieldsEveryValue();
    void charactersBeforeTheFirstKeyAreIgnored_data();
    void charactersBeforeTheFirstKeyAreIgnored();
    void cutValues_data();
    void cutValues();
    void codesSelectOrKeepTheChoice_data();
    void codesSelectOrKeepTheChoice();
    void loadedValuesKeepTheFieldLimits();
    void faultyDumpsAreRejected_data();
    void faultyDumpsAreRejected();
    void positionsEndAtTheSixteenBitLimit_data();
    void positionsEndAtTheSixteenBitLimit();
    void roundTripThroughTheSimulatedModule_data();
    void roundTripThroughTheSimulatedModule();
};

void TestDumpParser::moduleWritesTheLayoutTheParserCuts()
{
    ModuleSettings stored = knownValues();
    stored.scrollTime = "0350";   // as programming step 23 sent it
    stored.firmwareVersion.clear();
    QCOMPARE(cp1252::decode(moduleDump(stored, "1.30")), knownDump());
}

void TestDumpParser::knownDumpYieldsEveryValue()
{
    const DumpParse parse = parseModuleDump(knownDump());
    QVERIFY2(parse.accepted(), qPrintable(parse.rejection));
    QVERIFY(parse.update->setsFirmwareVersion);
    QVERIFY(!parse.update->setsReceiverType);
    QCOMPARE(parse.update->values, knownValues());
}

void TestDumpParser::charactersBeforeTheFirstKeyAreIgnored_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::newRow("echo of the request") << QStringLiteral("\x01(99)\x04");
    QTest::newRow("line noise") << QStringLiteral("\xFF\xFE\r\n\x7F???");
    QTest::newRow("a key's beginning") << QStringLiteral("ALIAS0ALIAS1");
    QTest::newRow("lower-case keys") << QStringLiteral("alias01:x\r\nversie 9.99");
}

void TestDumpParser::charactersBeforeTheFirstKeyAreIgnored()
{
    QFETCH(QString, prefix);
    const DumpParse parse = parseModuleDump(prefix + knownDump());
    QVERIFY2(parse.accepted(), qPrintable(parse.rejection));
    QCOMPARE(parse.update->values, knownValues());
}

void TestDumpParser::cutValues_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    const QString d = knownDump();

    // Empty values: the next key two characters after the key.
    QTest::newRow("empty alias") << replaced(d, "Alias 4\r\n", "\r\n") << "alias4" << "";
    QTest::newRow("empty last alias") << replaced(d, "Alias 16\r\n", "\r\n") << "alias16" << "";
    QTest::newRow("empty idle text") << replaced(d, "GEEN MELDING", "") << "idleText" << "";
    QTest::newRow("empty coupling text") << replaced(d, " >>> ", "") << "couplingText" << "";
    QTest::newRow("empty timer") << replaced(d, "TIMER2:0030", "TIMER2:") << "signClearTime" << "";

    // Texts as they stand: no trimming, no conversion.
    QTest::newRow("leading zeros kept") << replaced(d, "TIMER1:0010", "TIMER1:0007") << "relayTime" << "0007";
    QTest::newRow("spaces kept") << replaced(d, "BACKLIGHT:9999", "BACKLIGHT: 12 ") << "backlightTime" << " 12 ";
    QTest::newRow("spaces around a text") << replaced(d, "Alias 9", "  x  ") << "alias9" << "  x  ";
    QTest::newRow("8-bit characters kept") << replaced(d, "Alias 6", "\u00e9\u20ac") << "alias6" << "\u00e9\u20ac";
    QTest::newRow("alias longer than the field") << replaced(d, "Alias 7", QString(30, 'w')) << "alias7" << QString(30, 'w');

    // The scroll time is three characters, whatever follows.
    QTest::newRow("scroll time of four digits") << replaced(d, "SCROLLTIJD:350", "SCROLLTIJD:1234") << "scrollTime" << "123";
    QTest::newRow("scroll time of one digit then spaces") << replaced(d, "SCROLLTIJD:350", "SCROLLTIJD:7  ") << "scrollTime" << "7  ";

    // The version: one skipped character, then four, or what there is.
    QTest::newRow("longer version") << replaced(d, "1.30\r\n", "1.305") << "firmwareVersion" << "1.30";
    QTest::newRow("version of three at the end") << replaced(d, "1.30\r\n", "1.3") << "firmwareVersion" << "1.3";
    QTest::newRow("version of one at the end") << replaced(d, "1.30\r\n", "1") << "firmwareVersion" << "1";
    QTest::newRow("nothing after VERSIE ") << replaced(d, "1.30\r\n", "") << "firmwareVersion" << "";
    QTest::newRow("nothing after VERSIE") << replaced(d, " 1.30\r\n", "") << "firmwareVersion" << "";
    QTest::newRow("skipped character is any") << replaced(d, "VERSIE 1.30", "VERSIE:2.01") << "firmwareVersion" << "2.01";

    // First occurrence counts, even inside another field's value.
    QTest::newRow("key twice: first wins") << d + "VERSIE 9.99\r\n" << "firmwareVersion" << "1.30";
    QTest::newRow("alias key again later") << replaced(d, "GEEN MELDING", "ALIAS05:zz") << "alias5" << "Alias 5";
    QTest::newRow("version key inside an alias") << replaced(d, "Alias 1\r\n", "zie VERSIE 0.77\r\n") << "firmwareVersion" << "0.77";
    QTest::newRow("alias with a key keeps it") << replaced(d, "Alias 3", "X VERSIE 9.99") << "alias3" << "X VERSIE 9.99";
    QTest::newRow("timer keys before the aliases") << replaced(d, "TIMER1:0010\r\nTIMER2:0030\r\nWISTIMER:0060\r\nBACKLIGHT:9999\r\nSCROLLTIJD:350\r\n", "")
        .prepend("TIMER1:0010\r\nTIMER2:0030\r\nWISTIMER:0060\r\nBACKLIGHT:9999\r\nSCROLLTIJD:350\r\n") << "lcdClearTime" << "0060";

    // A reply cut off after the version's first characters still carries every key.
    QTest::newRow("reply cut short") << d.left(d.size() - 3) << "firmwareVersion" << "1.3";
}

void TestDumpParser::cutValues()
{
    QFETCH(QString, dump);
    QFETCH(QString, field);
    QFETCH(QString, value);
    const DumpParse parse = parseModuleDump(dump);
    QVERIFY2(parse.accepted(), qPrintable(parse.rejection));
    QCOMPARE(fieldOf(parse.update->values, field), value);
}

void TestDumpParser::codesSelectOrKeepTheChoice_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("after");   // on the start-up settings
    // Start-up: alias and message green (183), coupling red (176), speed 5 (192).
    QTest::newRow("alias red") << dumpWithCodes("176", "181", "183", "197") << "aliasColour" << "176";
    QTest::newRow("alias yellow") << dumpWithCodes("181", "181", "183", "197") << "aliasColour" << "181";
    QTest::newRow("alias unknown keeps green") << dumpWithCodes("177", "181", "183", "197") << "aliasColour" << "183";
    QTest::newRow("alias code of two digits") << dumpWithCodes("17", "181", "183", "197") << "aliasColour" << "183";
    QTest::newRow("coupling yellow") << dumpWithCodes("176", "181", "183", "197") << "couplingColour" << "181";
    QTest::newRow("coupling green") << dumpWithCodes("176", "183", "183", "197") << "couplingColour" << "183";
    QTest::newRow("coupling unknown keeps red") << dumpWithCodes("176", "999", "183", "197") << "couplingColour" << "176";
    QTest::newRow("message red") << dumpWithCodes("176", "181", "176", "197") << "messageColour" << "176";
    QTest::newRow("message unknown keeps green") << dumpWithCodes("176", "181", "1 3", "197") << "messageColour" << "183";
    QTest::newRow("speed 1") << dumpWithCodes("176", "181", "183", "199") << "scrollSpeed" << "199";
    QTest::newRow("speed 4") << dumpWithCodes("176", "181", "183", "193") << "scrollSpeed" << "193";
    QTest::newRow("speed 5") << dumpWithCodes("176", "181", "183", "192") << "scrollSpeed" << "192";
    QTest::newRow("speed unknown keeps 5") << dumpWithCodes("176", "181", "183", "198") << "scrollSpeed" << "192";
    QTest::newRow("a colour code as speed keeps 5") << dumpWithCodes("176", "181", "183", "176") << "scrollSpeed" << "192";
}

void TestDumpParser::codesSelectOrKeepTheChoice()
{
    QFETCH(QString, dump);
    QFETCH(QString, field);
    const DumpParse parse = parseModuleDump(dump);
    QVERIFY2(parse.accepted(), qPrintable(parse.rejection));
    QTEST(fieldOf(applyUpdate(startupSettings(), *parse.update), field), "after");
}

void TestDumpParser::loadedValuesKeepTheFieldLimits()
{
    QString dump = replaced(knownDump(), "Alias 7", QString(30, 'w'));
    dump = replaced(dump, "TIMER1:0010", "TIMER1:123456");
    dump = replaced(dump, "GEEN MELDING", QString(26, 'g'));
    const DumpParse parse = parseModuleDump(dump);
    QVERIFY2(parse.accepted(), qPrintable(parse.rejection));

    ModuleSettings before = startupSettings();
    before.receiverType = ReceiverType::Pocsag;
    const ModuleSettings after = applyUpdate(before, *parse.update);
    QCOMPARE(after.aliases[6], QString(25, 'w'));
    QCOMPARE(after.relayTime, QString("1234"));
    QCOMPARE(after.idleText, QString(25, 'g'));
    QCOMPARE(after.firmwareVersion, QString("1.30"));
    QCOMPARE(after.receiverType, ReceiverType::Pocsag);   // the dump does not carry it
}

void TestDumpParser::faultyDumpsAreRejected_data()
{
    QTest::addColumn<QString>("dump");
    const QString d = knownDump();

    const char *const keys[] = {"ALIAS01:", "ALIAS02:", "ALIAS03:", "ALIAS04:", "ALIAS05:", "ALIAS06:", "ALIAS07:",
                                "ALIAS08:", "ALIAS09:", "ALIAS10:", "ALIAS11:", "ALIAS12:", "ALIAS13:", "ALIAS14:",
                                "ALIAS15:", "ALIAS16:", "TUSSENTEKST:", "LEEGTEKST:", "LICHTKRANTLEEG:", "TIMER1:",
                                "TIMER2:", "WISTIMER:", "BACKLIGHT:", "SCROLLTIJD:", "START:", "VERSIE"};
    for (const char *key : keys) {
        const QString k = QString::fromLatin1(key);
        QTest::addRow("missing %s", qPrintable(k)) << replaced(d, k, "#" + k.mid(1));
    }
    QTest::newRow("key in lower case") << replaced(d, "VERSIE", "Versie");
    QTest::newRow("empty reply") << QString();
    QTest::newRow("reply cut before the version") << d.left(d.indexOf("VERSIE") + 5);
    QTest::newRow("reply of garbage") << QString(900, QChar(0xFF));

    // Keys so close or out of order that a length comes out negative.
    QTest::newRow("alias one character long") << replaced(d, "Alias 1\r\n", "\r");
    QTest::newRow("aliases out of order") << replaced(replaced(d, "ALIAS02:", "ALIASxx:"), "ALIAS01:", "ALIAS02:")
                                                 .replace("ALIASxx:", "ALIAS01:");
    QTest::newRow("coupling key inside an alias") << replaced(d, "Alias 2", "TUSSENTEKST:");
    QTest::newRow("coupling frame too short") << replaced(d, "<239><176><239><183>\r\n", "\r\n");
    QTest::newRow("timers out of order") << replaced(d, "TIMER1:0010\r\nTIMER2:0030\r\n", "TIMER2:0030\r\nTIMER1:0010\r\n");
    QTest::newRow("idle key at the start") << "LEEGTEKST:" + d;

    // A value the text rule refuses refuses the whole dump, never cut or cleaned.
    QTest::newRow("tab and SOH in an alias") << replaced(d, "Alias 5", "a\tb\x01");
    QTest::newRow("scroll time of one digit, then the line end") << replaced(d, "SCROLLTIJD:350", "SCROLLTIJD:7");
    QTest::newRow("timer key inside an alias: the relay time spans lines") << replaced(d, "Alias 3", "X TIMER1:abcd");
    QTest::newRow("DEL in the coupling text") << replaced(d, " >>> ", " >\x7F> ");
    QTest::newRow("character outside Windows-1252") << replaced(d, "Alias 6", QStringLiteral("\u65e5"));
}

void TestDumpParser::faultyDumpsAreRejected()
{
    QFETCH(QString, dump);
    const DumpParse parse = parseModuleDump(dump);
    QVERIFY(!parse.accepted());
    QVERIFY(!parse.rejection.isEmpty());
}

void TestDumpParser::positionsEndAtTheSixteenBitLimit_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<bool>("accepted");
    // LICHTKRANTLEEG: is never cut from, so only its position counts. The
    // timers, START: and VERSIE may stand anywhere: put them first.
    const QString d = knownDump();
    const int timers = int(d.indexOf("TIMER1:"));
    const QString idleLast = d.mid(timers) + d.left(timers);
    QTest::newRow("key at 32767 is found") << withKeyAt(idleLast, "LICHTKRANTLEEG:", 32767) << true;
    QTest::newRow("key at 32768 is not") << withKeyAt(idleLast, "LICHTKRANTLEEG:", 32768) << false;
    // The speed code stands 68 after "START:": its start must stay within 16 bits.
    const int start = int(d.indexOf("START:"));
    const QString startLast = d.left(start) + d.mid(d.indexOf("VERSIE")) + d.mid(start, d.indexOf("VERSIE") - start);
    QTest::newRow("speed code ending at 32769") << withKeyAt(startLast, "START:", 32767 - 68) << true;
    QTest::newRow("speed code starting past 32767") << withKeyAt(startLast, "START:", 32767 - 67) << false;
    const QString versionLast = d.left(d.indexOf("VERSIE")) + "VERSIE 1.30";
    QTest::newRow("version start at 32767") << withKeyAt(versionLast, "VERSIE", 32767 - 7) << true;
    QTest::newRow("version start past 32767") << withKeyAt(versionLast, "VERSIE", 32767 - 6) << false;
    QTest::newRow("whole dump past 32767") << QString(32767, ' ') + d << false;
}

void TestDumpParser::positionsEndAtTheSixteenBitLimit()
{
    QFETCH(QString, dump);
    QFETCH(bool, accepted);
    const DumpParse parse = parseModuleDump(dump);
    QCOMPARE(parse.accepted(), accepted);
    if (accepted)
        QCOMPARE(parse.update->values.firmwareVersion, QString("1.30"));
}

void TestDumpParser::roundTripThroughTheSimulatedModule_data()
{
    QTest::addColumn<ModuleSettings>("programmed");   // as the module stored it
    QTest::addColumn<ModuleSettings>("readBack");     // as the window shows it after "lezen"

    ModuleSettings defaults = startupSettings();
    for (QString ModuleSettings::*timer : kTimers)
        defaults.*timer = padTimer(defaults.*timer);
    defaults.scrollTime = "0350";
    ModuleSettings defaultsBack = defaults;
    for (int n = 1; n <= kAliasCount; ++n)
        defaultsBack.aliases[n - 1] = QStringLiteral("CAPCODE %1").arg(n, 2, 10, QLatin1Char('0'));
    defaultsBack.scrollTime = "350";
    defaultsBack.firmwareVersion = "1.30";
    QTest::newRow("start-up values") << defaults << defaultsBack;

    ModuleSettings full;
    full.receiverType = ReceiverType::Flex;
    for (int i = 0; i < kAliasCount; ++i)
        full.aliases[i] = QString(kTextLimit, QChar('A' + i));
    full.couplingText = QString(kTextLimit, '>');
    full.idleText = QString(kTextLimit, '_');
    setCodes(full, "181", "183", "176", "199");
    setTimers(full, {"9999", "0001", "0600", "0030", "1200"});
    ModuleSettings fullBack = full;
    fullBack.scrollTime = "200";   // three digits in the module
    fullBack.firmwareVersion = "1.30";
    QTest::newRow("every text full") << full << fullBack;

    ModuleSettings odd = full;
    odd.aliases[0] = " ";
    odd.aliases[1] = "\u00e9t\u00e9 \u20ac5";
    odd.aliases[2] = "<176>";
    odd.couplingText = "  ";
    odd.idleText = "";
    ModuleSettings oddBack = odd;
    oddBack.scrollTime = "200";
    oddBack.firmwareVersion = "1.30";
    QTest::newRow("spaces, 8-bit letters, brackets, empty idle") << odd << oddBack;
}

void TestDumpParser::roundTripThroughTheSimulatedModule()
{
    QFETCH(ModuleSettings, programmed);
    QFETCH(ModuleSettings, readBack);
    const DumpParse parse = parseModuleDump(cp1252::decode(moduleDump(programmed, "1.30")));
    QVERIFY2(parse.accepted(), qPrintable(parse.rejection));
    QCOMPARE(applyUpdate(otherSettings(), *parse.update), readBack);
}

QTEST_GUILESS_MAIN(TestDumpParser)
#include "tst_dumpparser.moc"
