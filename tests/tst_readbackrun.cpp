// The read-back session on a fake line, tick by tick: the test plays the
// poll, parse and blink timers itself and feeds the module's reply through
// the line, so nothing waits. Then the window around it: aliases emptied and
// put back, choices selected through their boxes, the version, the boxes.

#include "link/frames.h"
#include "readback/readbacksession.h"
#include "settings/codec.h"
#include "link/moduledump.h"
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

// A read-back session on a fake line, with everything it reports recorded.
struct Session {
    Session()
    {
        QObject::connect(&session, &ReadBackSession::ledChanged, [this](bool shown) { leds.append(shown); });
        QObject::connect(&session, &ReadBackSession::finished, [this](const DumpParse &p) { parses.append(p); });
        QObject::connect(&session, &ReadBackSession::noData, [this] { ++noData; });
        QObject::connect(&session, &ReadBackSession::failed, [this](const PortFailure &f) { failures.append(f); });
    }
    bool timerRunning(const char *name) { return session.findChild<QTimer *>(name)->isActive(); }
    bool anyTimerRunning()
    {
        for (const char *name : {"Tmr_EerstePoll", "Tmr_Inlezen", "Tmr_Verwerken_Data", "Tmr_Knippertijd_LED"}) {
            if (timerRunning(name))
                return true;
        }
        return false;
    }
    void pollAll()
    {
        while (!line->incoming.isEmpty() && session.isRunning())
            session.pollReceive();
    }

    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    ReadBackSession session{fakeOpener(line, [] { return 2; })};
    QList<bool> leds;
    QList<DumpParse> parses;
    int noData = 0;
    QList<PortFailure> failures;
};

// A window showing the user's settings, its ports on a fake line.
class Harness : public WindowHarness {
public:
    Harness() { window->showSettings(userSettings()); }

    bool versionShown()
    {
        return !child("lbl_Versie")->isHidden() && !child("Txt_Versie")->isHidden();
    }
    bool versionHidden() { return child("lbl_Versie")->isHidden() && child("Txt_Versie")->isHidden(); }

    ReadBackSession &session() { return window->readBackSession(); }
    // Polls until the port has nothing left (one character a poll).
    void pollAll()
    {
        while (!line->incoming.isEmpty() && window->isBusy())
            session().pollReceive();
    }
    // A full run against a module that answers with `reply`.
    void readBack(const QByteArray &reply)
    {
        window->startReadBack();
        line->arrive(reply);
        pollAll();
        session().finishReadBack();
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
    void badReplies_data();
    void badReplies();
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
    Session s;
    s.session.startReadBack();
    QCOMPARE(s.line->written, readRequestFrame());
    QCOMPARE(s.line->devices, QStringList{fakeDevice(2)});
    QVERIFY(s.timerRunning("Tmr_EerstePoll"));   // the first poll comes after the module could answer
    QVERIFY(!s.timerRunning("Tmr_Inlezen"));
    s.line->arrive("AL");
    auto *parseTimer = s.session.findChild<QTimer *>("Tmr_Verwerken_Data");
    s.session.pollReceive();
    QVERIFY(parseTimer->isActive());
    QCOMPARE(parseTimer->interval(), 12000);
    const int remaining = parseTimer->remainingTime();
    QTest::qSleep(20);
    s.session.pollReceive();   // a running parse timer is not restarted
    QVERIFY(parseTimer->remainingTime() < remaining);
    QVERIFY(s.timerRunning("Tmr_Knippertijd_LED"));
    QCOMPARE(s.session.buffer(), QString("AL"));
}

void TestReadBackRun::noDataEndsAtTheFirstPoll_data()
{
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<int>("event");
    QTest::newRow("module silent") << QByteArray() << 0;
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
    h.line->event = PortEvent(event);
    h.session().pollReceive();

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
    h.session().pollReceive();
    h.session().finishReadBack();
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

void TestReadBackRun::badReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("outcome");   // "accepted", "rejected: <why>", "no data"
    const QByteArray dump = dumpOf(programmedModule());
    QTest::newRow("a NUL before a valid dump") << QByteArray(1, '\0') + dump << "accepted";
    QTest::newRow("only a NUL: an answer, not silence") << QByteArray(1, '\0') << "rejected: key \"ALIAS01:\" not found";
    QTest::newRow("CR in alias 3") << QByteArray(dump).replace("Module 3", "Mod\rle 3")
                                   << "rejected: alias 03 holds U+000D at position 4";
    QTest::newRow("SOH EOT frame in the idle text") << QByteArray(dump).replace("GEEN MELDING", "GEEN\x04\x01(3D)X")
                                                    << "rejected: idle text holds U+0004 at position 5";
    QTest::newRow("DEL in a timer") << QByteArray(dump).replace("TIMER2:0030", "TIMER2:00\x7F" "0")
                                    << "rejected: sign clear time holds U+007F at position 3";
    QTest::newRow("a flood after the dump") << dump + QByteArray(40000, 'x') << "accepted";
}

void TestReadBackRun::badReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, outcome);
    Session s;
    s.session.startReadBack();
    s.line->arrive(reply);
    s.pollAll();
    s.session.finishReadBack();
    // A flood keeps no more than the parser can reach.
    QVERIFY(s.session.buffer().size() <= kMaxDumpCharacters);
    QCOMPARE(s.noData, 0);
    QCOMPARE(s.parses.size(), 1);
    const QString got = s.parses[0].accepted() ? QStringLiteral("accepted")
                                               : QStringLiteral("rejected: ") + s.parses[0].rejection;
    QCOMPARE(got, outcome);
}

void TestReadBackRun::charactersAfterTheParseAreIgnored()
{
    Session s;
    const QByteArray dump = dumpOf(programmedModule());
    s.session.startReadBack();
    s.line->arrive(dump);
    s.pollAll();
    s.session.finishReadBack();
    QCOMPARE(s.parses.size(), 1);
    QVERIFY(s.parses[0].accepted());
    QVERIFY(!s.anyTimerRunning());

    s.line->arrive(QByteArray(dump).replace("Module 1\r", "Spaet 1\r"));
    s.session.pollReceive();
    s.session.pollReceive();
    s.session.finishReadBack();
    QCOMPARE(s.parses.size(), 1);
    QCOMPARE(s.session.buffer(), cp1252::decode(dump));
}

void TestReadBackRun::characterZeroIsNotKept()
{
    Session s;
    QByteArray withZeros;
    for (char c : dumpOf(programmedModule()))
        withZeros.append(c).append('\0');
    s.session.startReadBack();
    s.line->arrive(withZeros);
    s.pollAll();
    s.session.finishReadBack();
    QCOMPARE(s.session.buffer(), cp1252::decode(dumpOf(programmedModule())));
    QCOMPARE(s.parses.size(), 1);
    QCOMPARE(s.parses[0].update->values.aliases[0], QString("Module 1"));
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
    h.session().finishReadBack();

    QCOMPARE(h.prompts.boxes.size(), 2);
    QCOMPARE(h.window->settings().aliases[4], QString("tweede keer"));
    QCOMPARE(h.window->settings().aliases[0], QString("Module 1"));
    QCOMPARE(h.window->settings().relayTime, QString("0042"));
    QCOMPARE(h.window->settings().firmwareVersion, QString("1.31"));
    QVERIFY(h.versionShown());
}

void TestReadBackRun::ledBlinksWhileTheRunLasts()
{
    Session s;
    s.session.startReadBack();
    QCOMPARE(s.session.findChild<QTimer *>("Tmr_Knippertijd_LED")->interval(), 150);
    for (int tick = 0; tick < 4; ++tick)
        s.session.blinkDataLed();
    QCOMPARE(s.leds, (QList<bool>{true, false, true, false, true}));

    s.line->arrive(dumpOf(programmedModule()));
    s.pollAll();
    s.session.finishReadBack();
    QCOMPARE(s.leds.last(), false);
    QVERIFY(!s.timerRunning("Tmr_Knippertijd_LED"));

    // The window shows the LED the session drives, and greys its label at the end.
    Harness h;
    h.window->startReadBack();
    QVERIFY(h.readLedShown());
    h.session().blinkDataLed();
    QVERIFY(!h.readLedShown());
    h.line->arrive(dumpOf(programmedModule()));
    h.pollAll();
    h.session().finishReadBack();
    QVERIFY(!h.readLedShown());
    QVERIFY(!h.child("lblDataIN")->isEnabled());
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
    h.session().pollReceive();
    h.session().finishReadBack();
    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.window->settings(), before);
}

QTEST_MAIN(TestReadBackRun)
#include "tst_readbackrun.moc"
