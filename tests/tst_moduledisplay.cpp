// What the module shows: LCD lines, LED sign, relay and backlight at a
// moment after a call, from the settings it holds; and which frame counts
// as the last call.

#include "link/frames.h"
#include "sim/moduledisplay.h"
#include "sim/simulatedmodule.h"
#include "support/fixtures.h"

#include <QtTest>

namespace {

const QString kIdle = QStringLiteral("GEEN MELDING");
const QString kCoupling = QStringLiteral(" >>> ");
const QString kRed = QStringLiteral("176");
const QString kGreen = QStringLiteral("183");
const QString kYellow = QStringLiteral("181");
const QStringList kStandardTimes = {"0010", "0030", "0060", "9999", "0350"};

// Colours all different, so a segment in the wrong colour shows.
ModuleSettings held(const QStringList &times)
{
    ModuleSettings s = startupSettings();
    s.aliases[0] = QStringLiteral("Brandweer Noord");
    s.aliases[2] = QStringLiteral("Ambulance post 3");
    s.aliases[15] = QStringLiteral("Proefalarm");
    s.couplingText = kCoupling;
    s.idleText = kIdle;
    s.aliasColour = kYellow;
    s.couplingColour = kRed;
    s.messageColour = kGreen;
    setTimers(s, times);
    return s;
}

QStringList rightTrimmed(const std::array<QString, kLcdLineCount> &lines)
{
    QStringList result;
    for (const QString &line : lines) {
        QString text = line;
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        result << text;
    }
    return result;
}

QStringList texts(const QList<SignSegment> &sign)
{
    QStringList result;
    for (const SignSegment &segment : sign)
        result << segment.text;
    return result;
}

QStringList colours(const QList<SignSegment> &sign)
{
    QStringList result;
    for (const SignSegment &segment : sign)
        result << segment.colourCode;
    return result;
}

const QString kDigits = QStringLiteral("0123456789");

} // namespace

class TestModuleDisplay : public QObject {
    Q_OBJECT
private slots:
    void display_data();
    void display();
    void lastCallOfTheModule_data();
    void lastCallOfTheModule();
    void newCallRestartsAllTimes();
    void aliasNumber_data();
    void aliasNumber();
};

void TestModuleDisplay::display_data()
{
    QTest::addColumn<QString>("code");          // empty: no call yet
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("times");     // relay, sign, LCD, backlight (s), scroll (ms)
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QStringList>("lcd");       // without trailing spaces
    QTest::addColumn<QStringList>("signTexts");
    QTest::addColumn<QStringList>("signColours");
    QTest::addColumn<bool>("relay");
    QTest::addColumn<bool>("backlight");

    const QStringList callLcd = {"Brandweer Noord", " >>>", "Woningbrand", ""};
    const QStringList callSign = {"Brandweer Noord", kCoupling, "Woningbrand"};
    const QStringList callColours = {kYellow, kRed, kGreen};
    const QStringList idleLcd = {kIdle, "", "", ""};

    QTest::newRow("no call: idle text, all dark")
        << QString() << QString() << kStandardTimes << qint64(0) << idleLcd << QStringList() << QStringList()
        << false << false;
    QTest::newRow("call: alias, coupling text, message")
        << "1" << "Woningbrand" << kStandardTimes << qint64(0) << callLcd << callSign << callColours << true << true;
    QTest::newRow("relay still on just before its time")
        << "1" << "Woningbrand" << kStandardTimes << qint64(9999) << callLcd << callSign << callColours << true << true;
    QTest::newRow("relay off at its time, the rest stays")
        << "1" << "Woningbrand" << kStandardTimes << qint64(10000) << callLcd << callSign << callColours << false << true;
    QTest::newRow("sign dark after its clear time")
        << "1" << "Woningbrand" << kStandardTimes << qint64(30000) << callLcd << QStringList() << QStringList()
        << false << true;
    QTest::newRow("LCD back to idle after its clear time")
        << "1" << "Woningbrand" << kStandardTimes << qint64(60000) << idleLcd << QStringList() << QStringList()
        << false << true;
    QTest::newRow("backlight off after its time")
        << "1" << "Woningbrand" << QStringList{"0010", "0030", "0060", "0020", "0350"} << qint64(20000) << callLcd
        << callSign << callColours << false << false;
    QTest::newRow("9999 keeps every output on")
        << "1" << "Woningbrand" << QStringList{"9999", "9999", "9999", "9999", "0350"} << qint64(10'000'000)
        << callLcd << callSign << callColours << true << true;
    QTest::newRow("0 never shows")
        << "1" << "Woningbrand" << QStringList{"0000", "0000", "0000", "0000", "0350"} << qint64(0) << idleLcd
        << QStringList() << QStringList() << false << false;
    QTest::newRow("a time that is no number counts as 0")
        << "1" << "Woningbrand" << QStringList{"1a", "0030", "0060", "9999", "0350"} << qint64(0) << callLcd
        << callSign << callColours << false << true;
    QTest::newRow("RI-code 3D shows alias 3")
        << "3D" << "Reanimatie" << kStandardTimes << qint64(0)
        << QStringList{"Ambulance post 3", " >>>", "Reanimatie", ""}
        << QStringList{"Ambulance post 3", kCoupling, "Reanimatie"} << callColours << true << true;
    QTest::newRow("capcode 16 shows alias 16")
        << "16" << "Test" << kStandardTimes << qint64(0) << QStringList{"Proefalarm", " >>>", "Test", ""}
        << QStringList{"Proefalarm", kCoupling, "Test"} << callColours << true << true;
    QTest::newRow("no-network notice: fault text only, relay stays off")
        << "17" << kNoNetworkText << kStandardTimes << qint64(0) << QStringList{"", "", kNoNetworkText, ""}
        << QStringList{kNoNetworkText} << QStringList{kGreen} << false << true;
    QTest::newRow("message runs on over line 4")
        << "1" << kDigits.repeated(5) << kStandardTimes << qint64(0)
        << QStringList{"Brandweer Noord", " >>>", kDigits.repeated(4), kDigits}
        << QStringList{"Brandweer Noord", kCoupling, kDigits.repeated(5)} << callColours << true << true;
    QTest::newRow("long message scrolls one character a scroll time")
        << "1" << kDigits.repeated(9) << kStandardTimes << qint64(3 * 350 + 349)
        << QStringList{"Brandweer Noord", " >>>", kDigits.repeated(9).mid(3, 40), kDigits.repeated(9).mid(43, 40)}
        << QStringList{"Brandweer Noord", kCoupling, kDigits.repeated(9)} << callColours << true << true;
    QTest::newRow("long message starts again after a gap")
        << "1" << kDigits.repeated(9) << QStringList{"9999", "9999", "9999", "9999", "0350"} << qint64(92 * 350)
        << QStringList{"Brandweer Noord", " >>>", " " + kDigits.repeated(4).left(39), kDigits.repeated(9).mid(39, 40)}
        << QStringList{"Brandweer Noord", kCoupling, kDigits.repeated(9)} << callColours << true << true;
    QTest::newRow("long message stands still without a scroll time")
        << "1" << kDigits.repeated(9) << QStringList{"0010", "0030", "0060", "9999", "0000"} << qint64(5000)
        << QStringList{"Brandweer Noord", " >>>", kDigits.repeated(4), kDigits.repeated(4)}
        << QStringList{"Brandweer Noord", kCoupling, kDigits.repeated(9)} << callColours << true << true;
}

void TestModuleDisplay::display()
{
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(QStringList, times);
    QFETCH(qint64, elapsedMs);

    const qint64 callAtMs = 5000;
    std::optional<ModuleCall> call;
    if (!code.isEmpty())
        call = ModuleCall{code, message, callAtMs};
    const ModuleDisplay shown = moduleDisplay(held(times), call, callAtMs + elapsedMs);

    for (const QString &line : shown.lcdLines)
        QCOMPARE(line.size(), kLcdLineWidth);
    QTEST(rightTrimmed(shown.lcdLines), "lcd");
    QTEST(texts(shown.sign), "signTexts");
    QTEST(colours(shown.sign), "signColours");
    QTEST(shown.relayOn, "relay");
    QTEST(shown.backlightOn, "backlight");
}

void TestModuleDisplay::lastCallOfTheModule_data()
{
    QTest::addColumn<QByteArrayList>("frames");   // fed one after another, 1 s apart
    QTest::addColumn<QString>("code");            // empty: no call
    QTest::addColumn<QString>("message");
    QTest::addColumn<qint64>("atMs");

    QByteArrayList programming;
    for (int step = 1; step <= kProgrammingStepCount; ++step)
        programming << programmingStepFrame(step, startupSettings());

    QTest::newRow("nothing yet") << QByteArrayList() << QString() << QString() << qint64(0);
    QTest::newRow("programming is no call") << programming << QString() << QString() << qint64(0);
    QTest::newRow("a frame with code 18 is no call")
        << QByteArrayList{moduleFrame("18", "x")} << QString() << QString() << qint64(0);
    QTest::newRow("test call") << QByteArrayList{testCallFrame("5", "Oefening")} << "5" << "Oefening" << qint64(1000);
    QTest::newRow("test call text in Windows-1252")
        << QByteArrayList{testCallFrame("2D", QStringLiteral("één €"))} << "2D" << QStringLiteral("één €")
        << qint64(1000);
    QTest::newRow("notice after a call")
        << QByteArrayList{testCallFrame("5", "A"), noNetworkFrame()} << "17" << kNoNetworkText << qint64(2000);
    QTest::newRow("call after a notice")
        << QByteArrayList{noNetworkFrame(), testCallFrame("7D", "B")} << "7D" << "B" << qint64(2000);
    QTest::newRow("read request and programming after a call keep the call")
        << (QByteArrayList{testCallFrame("9", "C"), readRequestFrame()} + programming) << "9" << "C" << qint64(1000);
}

void TestModuleDisplay::lastCallOfTheModule()
{
    QFETCH(QByteArrayList, frames);
    QFETCH(QString, code);

    SimulatedModule module;
    qint64 atMs = 0;
    for (const QByteArray &frame : frames)
        module.receive(frame, atMs += 1000);
    QCOMPARE(module.frames().size(), frames.size());

    const std::optional<ModuleCall> call = lastCall(module);
    QCOMPARE(call.has_value(), !code.isEmpty());
    if (call) {
        QCOMPARE(call->code, code);
        QTEST(call->message, "message");
        QTEST(call->atMs, "atMs");
    }
}

void TestModuleDisplay::newCallRestartsAllTimes()
{
    SimulatedModule module;
    module.setStored(held(kStandardTimes));
    module.receive(testCallFrame("1", "Eerste"), 0);
    const qint64 later = 40'000;   // past the first call's relay and sign time

    const ModuleDisplay firstOnly = moduleDisplay(module.stored(), lastCall(module), later);
    QVERIFY(!firstOnly.relayOn);
    QVERIFY(firstOnly.sign.isEmpty());

    module.receive(testCallFrame("3", "Tweede"), 35'000);
    const ModuleDisplay afterSecond = moduleDisplay(module.stored(), lastCall(module), later);
    QVERIFY(afterSecond.relayOn);
    QCOMPARE(texts(afterSecond.sign), (QStringList{"Ambulance post 3", kCoupling, "Tweede"}));
    QCOMPARE(afterSecond.lcdLines[2].trimmed(), QStringLiteral("Tweede"));

    // The LCD's 60 s count from the second call too: on at 94 s, idle at 95 s.
    QCOMPARE(moduleDisplay(module.stored(), lastCall(module), 94'999).lcdLines[2].trimmed(), QStringLiteral("Tweede"));
    QCOMPARE(moduleDisplay(module.stored(), lastCall(module), 95'000).lcdLines[0].trimmed(), kIdle);
}

void TestModuleDisplay::aliasNumber_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("alias");   // 0: none

    QTest::newRow("capcode 1") << "1" << 1;
    QTest::newRow("capcode 16") << "16" << 16;
    QTest::newRow("RI-code 1D") << "1D" << 1;
    QTest::newRow("RI-code 7D") << "7D" << 7;
    QTest::newRow("notice 17") << "17" << 0;
    QTest::newRow("RI-code 8D does not exist") << "8D" << 0;
    QTest::newRow("capcode 0 does not exist") << "0" << 0;
}

void TestModuleDisplay::aliasNumber()
{
    QFETCH(QString, code);
    QFETCH(int, alias);
    QCOMPARE(aliasNumberOfCall(code).value_or(0), alias);
}

QTEST_GUILESS_MAIN(TestModuleDisplay)
#include "tst_moduledisplay.moc"
