// The read-back run in the window, tick by tick: the test plays the poll,
// parse and blink timers itself and feeds the module's reply through a fake
// port, so nothing waits and nothing modal opens.

#include "link/frames.h"
#include "settings/codec.h"
#include "sim/moduledump.h"
#include "support/fixtures.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kNoDataText = QStringLiteral(
    "              FOUTMELDING: Geen data kunnen lezen van de KVR7314.\r\r"
    "1 - controleer of de KVR7314 is aangesloten op de 9 polige connector\r"
    "2 - controleer of de jumper naast het relais in de onderste stand staat\r"
    "3 - controleer of de RUN-LED op de KVR7314 knippert\r"
    "4 - controleer of de DATA-LED op de KVR7314 even oplicht als op de knop lezen wordt gedrukt\r\r");

// What a module holds after programming, different from the window's
// start-up values in every field the dump carries.
ModuleSettings programmedModule()
{
    ModuleSettings s = startupSettings();
    setAliases(s, QStringLiteral("Module %1"));
    s.couplingText = " >>> ";
    s.idleText = "GEEN MELDING";
    setCodes(s, "176", "181", "176", "199");
    setTimers(s, {"0010", "0030", "0060", "9999", "0350"});
    return s;
}

// The user's settings in the window before "lezen".
ModuleSettings userSettings()
{
    ModuleSettings s = startupSettings();
    setAliases(s, QStringLiteral("eigen alias %1"));
    s.couplingText = "koppel";
    s.idleText = "rust";
    s.relayTime = "5";
    s.firmwareVersion = "0.99";
    return s;
}

// A window showing the user's settings, its ports on a fake line.
class Harness : public WindowHarness {
public:
    Harness() { window->showSettings(userSettings()); }

    bool versionShown()
    {
        return !child("lbl_Versie")->isHidden() && !child("Txt_Versie")->isHidden();
    }
    bool versionHidden() { return child("lbl_Versie")->isHidden() && child("Txt_Versie")->isHidden(); }

    // Polls until the port has nothing left (one character a poll).
    int pollAll()
    {
        int polls = 0;
        while (!line->incoming.isEmpty() && window->isBusy()) {
            window->pollReceive();
            ++polls;
        }
        return polls;
    }
    // A full run against a module that answers with `reply`.
    void readBack(const QByteArray &reply)
    {
        window->startReadBack();
        line->arrive(reply);
        pollAll();
        window->finishReadBack();
    }
};

QByteArray dumpOf(const ModuleSettings &s, const QString &version = "1.30") { return moduleDump(s, version); }

} // namespace

class TestReadBackRun : public QObject {
    Q_OBJECT
private slots:
    void startEmptiesAliasesAndSendsTheRequest();
    void successShowsTheModuleSettings();
    void parseSelectsChoicesThroughTheirBoxes();
    void parseLeavesReceiverPortAndStandardBoxes();
    void parseTimerStartsOnceAtTheFirstCharacter();
    void noDataEndsAtTheFirstPoll_data();
    void noDataEndsAtTheFirstPoll();
    void rejectedDumpChangesNothing_data();
    void rejectedDumpChangesNothing();
    void charactersAfterTheParseAreIgnored();
    void characterZeroIsNotKept();
    void secondRunAfterSuccess();
    void ledBlinksWhileTheRunLasts();
    void portThatCannotBeOpenedEndsTheRun();
    void portFailureDuringTheRunEndsIt();
};

void TestReadBackRun::startEmptiesAliasesAndSendsTheRequest()
{
    Harness h;
    const ModuleSettings before = h.window->settings();
    h.window->startReadBack();

    QCOMPARE(h.line->written, QByteArray("\x01(99)\x04", 6));
    QCOMPARE(h.line->written, readRequestFrame());
    const ModuleSettings during = h.window->settings();
    for (const QString &alias : during.aliases)
        QVERIFY(alias.isEmpty());
    ModuleSettings expected = before;
    expected.aliases = during.aliases;
    QCOMPARE(during, expected);                        // nothing but the aliases
    QCOMPARE(h.child<QLineEdit>("Txt_Versie")->text(), QString("0.99"));   // hidden, not cleared

    QVERIFY(h.window->isBusy());
    QVERIFY(h.buttonsEnabled(false));
    QVERIFY(h.readLedShown());
    QVERIFY(h.child("lblDataIN")->isEnabled());
    QVERIFY(h.versionHidden());
    QVERIFY(h.timerRunning("Tmr_Knippertijd_LED"));
    QVERIFY(!h.timerRunning("Tmr_Inlezen"));           // first poll comes after the module could answer
    QVERIFY(!h.timerRunning("Tmr_Verwerken_Data"));
    QVERIFY(h.prompts.boxes.isEmpty());
}

void TestReadBackRun::successShowsTheModuleSettings()
{
    Harness h;
    bool checkedUnderBox = false;
    h.prompts.onBox = [&](const RecordedBox &) {
        // The box ends the run: nothing ticks under it, buttons still off.
        QVERIFY(!h.anyReadBackTimerRunning());
        QVERIFY(h.buttonsEnabled(false));
        QVERIFY(h.versionShown());
        checkedUnderBox = true;
    };
    const QByteArray dump = dumpOf(programmedModule());
    h.readBack(dump);

    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.prompts.boxes[0].title, QString("KVR7314"));
    QCOMPARE(h.prompts.boxes[0].icon, BoxIcon::Information);
    QCOMPARE(h.prompts.boxes[0].text, QString("De data uit de KVR7314 is ingelezen.\r\r\r"));
    QVERIFY(checkedUnderBox);

    ModuleSettings expected = programmedModule();
    expected.scrollTime = "350";
    expected.firmwareVersion = "1.30";
    QCOMPARE(h.window->settings(), expected);
    QCOMPARE(h.child<QLineEdit>("txt_Inlezen")->text(), cp1252::decode(dump));
    QVERIFY(h.versionShown());
    QVERIFY(!h.window->isBusy());
    QVERIFY(h.buttonsEnabled(true));
    QVERIFY(!h.readLedShown());
    QVERIFY(!h.child("lblDataIN")->isEnabled());
    QVERIFY(!h.anyReadBackTimerRunning());
}

void TestReadBackRun::parseSelectsChoicesThroughTheirBoxes()
{
    Harness h;
    ModuleSettings module = programmedModule();
    module.aliasColour = "181";        // yellow
    module.couplingColour = "183";     // green
    module.messageColour = "017";      // no colour: the message keeps green
    module.scrollSpeed = "193";        // 4
    QByteArray dump = dumpOf(module);
    h.readBack(dump);
    QVERIFY(h.child<QCheckBox>("Chk_Kleur_Alias_GL")->isChecked());
    QVERIFY(!h.child<QCheckBox>("Chk_Kleur_Alias_GN")->isChecked());
    QVERIFY(!h.child<QCheckBox>("Chk_Kleur_Alias_RD")->isChecked());
    QVERIFY(h.child<QCheckBox>("Chk_Kleur_Koppel_GN")->isChecked());
    QVERIFY(!h.child<QCheckBox>("Chk_Kleur_Koppel_RD")->isChecked());
    QVERIFY(h.child<QCheckBox>("Chk_Kleur_Bericht_GN")->isChecked());
    QVERIFY(h.child<QCheckBox>("Chk_Snelheid_4")->isChecked());
    QVERIFY(!h.child<QCheckBox>("Chk_Snelheid_5")->isChecked());
    QCOMPARE(h.window->settings().messageColour, QString("183"));
}

void TestReadBackRun::parseLeavesReceiverPortAndStandardBoxes()
{
    Harness h;
    auto *pocsag = h.child<QCheckBox>("ChkOntvanger_Pocsag");
    auto *com3 = h.child<QCheckBox>("ChkCOM3");
    pocsag->setChecked(true);
    com3->setChecked(true);
    QList<QCheckBox *> standard = {h.child<QCheckBox>("Chk_Standaard_Timers"),
                                   h.child<QCheckBox>("Chk_LCD_Standaard_Tekst"),
                                   h.child<QCheckBox>("Chk_Standaard_Koppeltekst")};
    QList<bool> standardBefore;
    for (QCheckBox *box : standard)
        standardBefore << box->isChecked();

    h.readBack(dumpOf(programmedModule()));
    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.prompts.boxes[0].title, QString("KVR7314"));
    QVERIFY(pocsag->isChecked());
    QVERIFY(com3->isChecked());
    QCOMPARE(h.window->comPort(), QString("3"));
    for (int i = 0; i < standard.size(); ++i)
        QCOMPARE(standard[i]->isChecked(), standardBefore[i]);
    QCOMPARE(h.window->settings().aliases[15], QString("Module 16"));   // kept, though hidden under POCSAG
}

void TestReadBackRun::parseTimerStartsOnceAtTheFirstCharacter()
{
    Harness h;
    h.window->startReadBack();
    h.line->arrive("AL");
    auto *parseTimer = h.child<QTimer>("Tmr_Verwerken_Data");
    h.window->pollReceive();
    QVERIFY(parseTimer->isActive());
    QCOMPARE(parseTimer->interval(), 12000);
    const int remaining = parseTimer->remainingTime();
    QTest::qSleep(20);
    h.window->pollReceive();   // a running parse timer is not restarted
    QVERIFY(parseTimer->remainingTime() < remaining);
    QVERIFY(h.timerRunning("Tmr_Knippertijd_LED"));
}

void TestReadBackRun::noDataEndsAtTheFirstPoll_data()
{
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<int>("event");
    QTest::newRow("module silent") << QByteArray() << 0;
    QTest::newRow("only a character 0") << QByteArray(1, '\0') << int(SerialPort::kEventReceive);
    QTest::newRow("line event, nothing read") << QByteArray("ALIAS01:") << 3;
}

void TestReadBackRun::noDataEndsAtTheFirstPoll()
{
    QFETCH(QByteArray, pending);
    QFETCH(int, event);
    Harness h;
    const ModuleSettings before = h.window->settings();
    bool checkedUnderBox = false;
    h.prompts.onBox = [&](const RecordedBox &) {
        QVERIFY(!h.anyReadBackTimerRunning());
        QVERIFY(!h.readLedShown());
        QVERIFY(h.buttonsEnabled(false));
        checkedUnderBox = true;
    };

    h.window->startReadBack();
    h.line->incoming = pending;
    h.line->event = event;
    h.window->pollReceive();

    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.prompts.boxes[0].title, QString("Foutmelding bij inlezen data"));
    QCOMPARE(h.prompts.boxes[0].icon, BoxIcon::Information);
    QCOMPARE(h.prompts.boxes[0].text, kNoDataText);
    QVERIFY(checkedUnderBox);
    QCOMPARE(h.window->settings(), before);   // aliases back as they were
    QVERIFY(h.versionHidden());
    QVERIFY(h.buttonsEnabled(true));
    QVERIFY(!h.child("lblDataIN")->isEnabled());

    // No parse follows, whatever arrives later.
    h.line->arrive(dumpOf(programmedModule()));
    h.window->pollReceive();
    h.window->finishReadBack();
    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.window->settings(), before);
}

void TestReadBackRun::rejectedDumpChangesNothing_data()
{
    QTest::addColumn<QByteArray>("reply");
    const QByteArray dump = dumpOf(programmedModule());
    QTest::newRow("cut off before VERSIE") << dump.left(dump.indexOf("VERSIE"));
    QTest::newRow("cut off in the aliases") << dump.left(200);
    QTest::newRow("garbage") << QByteArray(300, '\xFF');
    QTest::newRow("timers out of order") << QByteArray(dump).replace("TIMER1:", "TIMERX:").replace("TIMER2:", "TIMER1:")
                                                .replace("TIMERX:", "TIMER2:");
}

void TestReadBackRun::rejectedDumpChangesNothing()
{
    QFETCH(QByteArray, reply);
    Harness h;
    h.child<QCheckBox>("Chk_Kleur_Alias_GL")->setChecked(true);
    const ModuleSettings before = h.window->settings();
    h.prompts.onBox = [&](const RecordedBox &) { QVERIFY(!h.anyReadBackTimerRunning()); };

    h.readBack(reply);

    QCOMPARE(h.prompts.boxes.size(), 1);
    const RecordedBox box = h.prompts.boxes[0];
    QCOMPARE(box.title, QString("Foutmelding bij inlezen data"));
    QCOMPARE(box.icon, BoxIcon::Information);
    QVERIFY(box.text.startsWith("              FOUTMELDING: "));
    QVERIFY(box.text.contains("lezen"));
    QVERIFY(box.text.endsWith("\r\r"));
    QCOMPARE(h.window->settings(), before);   // every field, the version included
    QVERIFY(h.versionHidden());
    QVERIFY(h.buttonsEnabled(true));
    QVERIFY(!h.readLedShown());
}

void TestReadBackRun::charactersAfterTheParseAreIgnored()
{
    Harness h;
    const QByteArray dump = dumpOf(programmedModule());
    h.readBack(dump);
    const ModuleSettings afterParse = h.window->settings();

    h.line->arrive(QByteArray(dump).replace("Module 1\r", "Spaet 1\r"));
    h.window->pollReceive();
    h.window->pollReceive();
    h.window->finishReadBack();
    QCOMPARE(h.window->settings(), afterParse);
    QCOMPARE(h.child<QLineEdit>("txt_Inlezen")->text(), cp1252::decode(dump));
    QCOMPARE(h.prompts.boxes.size(), 1);
}

void TestReadBackRun::characterZeroIsNotKept()
{
    Harness h;
    QByteArray withZeros;
    for (char c : dumpOf(programmedModule()))
        withZeros.append(c).append('\0');
    h.readBack(withZeros);
    QCOMPARE(h.prompts.boxes.value(0).title, QString("KVR7314"));
    QCOMPARE(h.child<QLineEdit>("txt_Inlezen")->text(), cp1252::decode(dumpOf(programmedModule())));
    QCOMPARE(h.window->settings().aliases[0], QString("Module 1"));
}

void TestReadBackRun::secondRunAfterSuccess()
{
    Harness h;
    h.readBack(dumpOf(programmedModule()));
    QVERIFY(h.versionShown());

    h.window->startReadBack();
    QVERIFY(h.versionHidden());
    QVERIFY(h.child<QLineEdit>("txt_Inlezen")->text().isEmpty());
    for (const QString &alias : h.window->settings().aliases)
        QVERIFY(alias.isEmpty());
    QCOMPARE(h.line->openings, 2);                        // the port is opened anew

    ModuleSettings second = programmedModule();
    second.aliases[4] = "tweede keer";
    second.relayTime = "0042";
    h.line->arrive(dumpOf(second, "1.31"));
    h.pollAll();
    h.window->finishReadBack();

    QCOMPARE(h.prompts.boxes.size(), 2);
    QCOMPARE(h.window->settings().aliases[4], QString("tweede keer"));
    QCOMPARE(h.window->settings().aliases[0], QString("Module 1"));
    QCOMPARE(h.window->settings().relayTime, QString("0042"));
    QCOMPARE(h.window->settings().firmwareVersion, QString("1.31"));
    QVERIFY(h.versionShown());
}

void TestReadBackRun::ledBlinksWhileTheRunLasts()
{
    Harness h;
    h.window->startReadBack();
    QCOMPARE(h.child<QTimer>("Tmr_Knippertijd_LED")->interval(), 150);
    QList<bool> seen;
    for (int tick = 0; tick < 4; ++tick) {
        h.window->blinkDataLed();
        seen << h.readLedShown();
    }
    QCOMPARE(seen, (QList<bool>{false, true, false, true}));

    h.line->arrive(dumpOf(programmedModule()));
    h.pollAll();
    h.window->finishReadBack();
    QVERIFY(!h.readLedShown());
    QVERIFY(!h.child("lblDataIN")->isEnabled());
    QVERIFY(!h.timerRunning("Tmr_Knippertijd_LED"));
}

void TestReadBackRun::portThatCannotBeOpenedEndsTheRun()
{
    Harness h;
    h.line->opens = false;
    const ModuleSettings before = h.window->settings();
    h.prompts.onBox = [&](const RecordedBox &) { QVERIFY(!h.anyReadBackTimerRunning()); };

    h.window->startReadBack();

    QCOMPARE(h.prompts.boxes.size(), 1);                  // the port's own box, once
    QVERIFY(h.line->written.isEmpty());
    QCOMPARE(h.window->settings(), before);
    QVERIFY(!h.window->isBusy());
    QVERIFY(h.buttonsEnabled(true));
    QVERIFY(!h.readLedShown());
    QVERIFY(!h.child("lblDataIN")->isEnabled());
    QVERIFY(!h.anyReadBackTimerRunning());
    QVERIFY(!h.window->findChild<QTimer *>("Tmr_EerstePoll")->isActive());
}

void TestReadBackRun::portFailureDuringTheRunEndsIt()
{
    Harness h;
    const ModuleSettings before = h.window->settings();
    h.window->startReadBack();
    const QByteArray dump = dumpOf(programmedModule());
    h.line->arrive(dump.left(100));
    h.pollAll();
    QVERIFY(h.timerRunning("Tmr_Verwerken_Data"));

    h.prompts.onBox = [&](const RecordedBox &) { QVERIFY(!h.anyReadBackTimerRunning()); };
    emit h.window->serialPort()->failed(QStringLiteral("Input/output error"));

    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.prompts.boxes[0].title, QString("Communicatiefout!"));
    QCOMPARE(h.prompts.boxes[0].icon, BoxIcon::Error);
    // The box speaks of reading, not of programming.
    QCOMPARE(h.prompts.boxes[0].text,
             QString("Er is een fout opgetreden bij het lezen van de KVR7314 !\r"
                     "Controleer de verbinding en druk nogmaals op de knop lezen."));
    QCOMPARE(h.window->settings(), before);
    QVERIFY(!h.window->isBusy());
    QVERIFY(h.buttonsEnabled(true));
    QVERIFY(!h.readLedShown());
    QVERIFY(!h.anyReadBackTimerRunning());

    h.line->arrive(dump.mid(100));   // the rest, too late
    h.window->pollReceive();
    h.window->finishReadBack();
    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.window->settings(), before);
}

QTEST_MAIN(TestReadBackRun)
#include "tst_readbackrun.moc"
