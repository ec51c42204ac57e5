// The programming session on a fake line, driven tick by tick without
// waiting: what goes out on which tick, edits during the run, the timers it
// pads, and a port that cannot be opened or fails. Then the window around
// it (busy state, LED, boxes), and the test call and no-network notice.

#include "link/frames.h"
#include "link/programmingsession.h"
#include "support/fixtures.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QtTest>

namespace {

const QString kOpenFailureCom3 = QStringLiteral(
    "Er is een fout opgetreden bij openen van de compoort !\r"
    "Mogelijk wordt de compoort door een ander programma\r"
    "gebruikt, of is de ingestelde compoort niet aanwezig.\r"
    "\r"
    "De ingestelde compoort = COM 3\r"
    "\r"
    "Start het programma opnieuw op en selecteer een andere com-poort.\r"
    " ");

QByteArray frames(const ModuleSettings &s, int from, int to)
{
    QByteArray bytes;
    for (int step = from; step <= to; ++step)
        bytes += programmingStepFrame(step, s);
    return bytes;
}

// A programming session on a fake line, reading settings that the test
// edits, with everything it reports recorded. Timer texts it changes go
// back into the settings, as the window puts them into their boxes.
struct Session {
    Session()
    {
        QObject::connect(&session, &ProgrammingSession::fieldTextChanged,
                         [this](const SettingsField &field, const QString &text) { field.in(settings) = text; });
        QObject::connect(&session, &ProgrammingSession::ledChanged, [this](bool shown) { led = shown; });
        QObject::connect(&session, &ProgrammingSession::finished, [this] { ++finished; });
        QObject::connect(&session, &ProgrammingSession::failed,
                         [this](const PortFailure &failure) { failures.append(failure); });
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
            session.programmingTick();
    }

    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    ModuleSettings settings = startupSettings();
    int comPort = 1;
    ProgrammingSession session{fakeOpener(line, [this] { return comPort; }), [this] { return settings; }};
    bool led = false;
    int finished = 0;
    QList<PortFailure> failures;
};

} // namespace

class TestProgrammingRun : public QObject {
    Q_OBJECT
private slots:
    void timeline();
    void defaultRunSendsEveryStep();
    void twoRunsInARow();
    void editsDuringARunReachLaterSteps();
    void timerTextsFollowWhatWasSent_data();
    void timerTextsFollowWhatWasSent();
    void portThatCannotBeOpened();
    void writeFailureEndsTheRun_data();
    void writeFailureEndsTheRun();
    void firstGapIsAsLongAsTheOthers();
    void deviceServerConfirmsTheSteps_data();
    void deviceServerConfirmsTheSteps();

    void windowShowsTheRun();
    void windowPortFailures_data();
    void windowPortFailures();
    void testCallAndNotice_data();
    void testCallAndNotice();
    void testCallPortFailures();
};

void TestProgrammingRun::timeline()
{
    Session s;
    s.session.startProgramming();
    QVERIFY(s.session.isRunning());
    QCOMPARE(s.session.findChild<QTimer *>("Tmr_Pauze")->interval(), 150);

    const ModuleSettings sent = settingsAsSent(s.settings);
    for (int t = 1; t <= 53; ++t) {
        const qsizetype before = s.line->written.size();
        s.tick();
        // Step k goes out on tick 2k + 1; the LED is lit on the ticks between.
        const bool sendTick = t % 2 == 1;
        const int step = sendTick && t >= 3 ? (t - 1) / 2 : 0;
        QCOMPARE(s.line->written.mid(before), step ? programmingStepFrame(step, sent) : QByteArray());
        QVERIFY2(s.led == !sendTick, qPrintable(QString("tick %1").arg(t)));
        QCOMPARE(s.line->openings, t >= 3 ? 1 : 0);
        QCOMPARE(s.finished, 0);
    }
    QVERIFY(s.session.port() != nullptr);
    s.tick();  // 54: 8.1 s after the click
    QCOMPARE(s.finished, 1);
    QVERIFY(!s.led);
    QVERIFY(!s.session.isRunning());
    QCOMPARE(s.session.stepsSent(), 26);
    s.tick(4);  // a stray tick after the run does nothing
    QCOMPARE(s.finished, 1);
    QCOMPARE(s.line->openings, 1);
    QVERIFY(s.failures.isEmpty());
}

void TestProgrammingRun::defaultRunSendsEveryStep()
{
    Session s;
    s.session.startProgramming();
    s.tick(54);

    ModuleSettings expected = startupSettings();
    normaliseTimers(expected);
    QCOMPARE(s.line->written.toHex(' '), frames(expected, 1, 26).toHex(' '));
    QCOMPARE(s.line->devices, QStringList{fakeDevice(1)});
    for (QString ModuleSettings::*timer : {&ModuleSettings::relayTime, &ModuleSettings::signClearTime,
                                           &ModuleSettings::lcdClearTime, &ModuleSettings::backlightTime})
        QCOMPARE(s.settings.*timer, QString("0000"));
    QCOMPARE(s.settings.scrollTime, QString("0350"));
    // The empty aliases stay empty: "CAPCODE nn" is what goes out, not what is kept.
    QCOMPARE(s.settings.aliases[0], QString());
}

void TestProgrammingRun::twoRunsInARow()
{
    Session s;
    s.session.startProgramming();
    s.tick(54);
    const QByteArray first = s.line->written;
    s.line->written.clear();

    s.session.startProgramming();
    s.tick(2);
    QVERIFY(s.line->written.isEmpty());
    QCOMPARE(s.line->openings, 1);
    s.tick();
    QCOMPARE(s.line->openings, 2);
    QCOMPARE(s.line->written, first.left(programmingStepFrame(1, s.settings).size()));
    s.tick(51);
    QCOMPARE(s.line->written, first);
    QCOMPARE(s.finished, 2);
}

void TestProgrammingRun::editsDuringARunReachLaterSteps()
{
    Session s;
    s.session.startProgramming();
    s.tick(9);  // steps 1..4 sent: colours, speed, aliases 1 and 2
    ModuleSettings expected = settingsAsSent(s.settings);

    s.settings.aliases[0] = "TE LAAT";     // its step is gone
    s.settings.aliases[4] = "BRANDWEER";   // step 7 is still to come
    s.settings.couplingText = "=>";
    s.settings.receiverType = ReceiverType::Pocsag;  // aliases 8..16 are still sent
    s.comPort = 2;                         // the run keeps the port it opened
    s.tick(45);

    expected.aliases[4] = "BRANDWEER";
    expected.couplingText = "=>";
    QCOMPARE(s.line->written.toHex(' '), frames(expected, 1, 26).toHex(' '));
    QCOMPARE(s.line->devices, QStringList{fakeDevice(1)});
}

void TestProgrammingRun::timerTextsFollowWhatWasSent_data()
{
    QTest::addColumn<int>("step");   // 19..23: the five timers in their order
    QTest::addColumn<QString>("atStart");     // typed before the click
    QTest::addColumn<QString>("afterStart");  // after the normalisation
    QTest::addColumn<QString>("duringRun");   // typed before the step (null: no edit)
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("relay 5") << 19 << "5" << "5" << QString() << QByteArray("0005");
    QTest::newRow("sign 12") << 20 << "12" << "12" << QString() << QByteArray("0012");
    QTest::newRow("lcd emptied before the run") << 21 << "" << "0" << QString() << QByteArray("0000");
    QTest::newRow("backlight 9999") << 22 << "9999" << "9999" << QString() << QByteArray("9999");
    QTest::newRow("backlight emptied during the run")
        << 22 << "10" << "10" << QString("") << QByteArray();
    QTest::newRow("scroll 0000") << 23 << "0000" << "350" << QString() << QByteArray("0350");
    QTest::newRow("scroll 00") << 23 << "00" << "350" << QString() << QByteArray("0350");
    QTest::newRow("scroll edited during the run")
        << 23 << "350" << "350" << QString("7") << QByteArray("0007");
}

void TestProgrammingRun::timerTextsFollowWhatWasSent()
{
    QFETCH(int, step);
    QFETCH(QString, atStart);
    QFETCH(QString, afterStart);
    QFETCH(QString, duringRun);
    QFETCH(QByteArray, sent);

    QString ModuleSettings::*const timer = kTimers[size_t(step - 19)];
    Session s;
    s.settings.*timer = atStart;
    s.session.startProgramming();
    QCOMPARE(s.settings.*timer, afterStart);

    s.tick(2 * step);  // up to the advance tick before the step
    QCOMPARE(s.settings.*timer, afterStart);
    if (!duringRun.isNull())
        s.settings.*timer = duringRun;
    const qsizetype before = s.line->written.size();
    s.tick();  // the step's send tick
    QCOMPARE(s.line->written.mid(before), moduleFrame(programmingStepCode(step), sent));
    QCOMPARE(s.settings.*timer, QString::fromLatin1(sent));
}

void TestProgrammingRun::portThatCannotBeOpened()
{
    Session s;
    s.comPort = 3;
    s.line->opens = false;
    s.session.startProgramming();
    s.tick(3);  // 450 ms after the click: step 1 would open the port
    QCOMPARE(s.line->devices, QStringList{fakeDevice(3)});
    QCOMPARE(s.failures.size(), 1);
    QCOMPARE(s.failures[0].kind, PortFailure::CannotOpen);
    QCOMPARE(s.failures[0].description, QString("Device not found"));
    QVERIFY(!s.session.isRunning());
    QVERIFY(!s.led);
    s.tick(60);
    QVERIFY(s.line->written.isEmpty());
    QCOMPARE(s.line->openings, 1);
    QCOMPARE(s.failures.size(), 1);
    QCOMPARE(s.finished, 0);

    // The next attempt can succeed.
    s.line->opens = true;
    s.session.startProgramming();
    s.tick(54);
    QCOMPARE(s.finished, 1);
}

void TestProgrammingRun::writeFailureEndsTheRun_data()
{
    QTest::addColumn<int>("failingStep");
    QTest::addColumn<int>("errorSignals");
    QTest::newRow("first step, one error") << 1 << 1;
    QTest::newRow("alias step, flood of errors") << 9 << 25;
    QTest::newRow("last step") << 26 << 3;
}

void TestProgrammingRun::writeFailureEndsTheRun()
{
    QFETCH(int, failingStep);
    QFETCH(int, errorSignals);
    Session s;
    s.line->failOnWrite = failingStep;
    s.line->failSignals = errorSignals;
    s.session.startProgramming();
    const ModuleSettings sent = settingsAsSent(s.settings);
    s.tick(2 * failingStep + 1);
    QCOMPARE(s.failures.size(), 1);
    QCOMPARE(s.failures[0].kind, PortFailure::LineFailed);
    QCOMPARE(s.failures[0].description, QString("gone"));
    QVERIFY(!s.session.isRunning());
    QVERIFY(!s.led);
    QCOMPARE(s.session.stepsSent(), failingStep - 1);

    s.tick(60);
    QCOMPARE(s.failures.size(), 1);
    QCOMPARE(s.finished, 0);   // never the success
    QCOMPARE(s.line->writes, failingStep);   // nothing after the failing step
    QCOMPARE(s.line->written, frames(sent, 1, failingStep - 1));
}

void TestProgrammingRun::firstGapIsAsLongAsTheOthers()
{
    // Step 1 opens the port first, which takes time (finding the adapter,
    // its lock file, dropping what the line held): the module still gets
    // frame 2 a whole 300 ms after frame 1, in real time.
    auto line = std::make_shared<FakeLine>();
    const PortOpener fake = fakeOpener(line, [] { return 1; });
    const ModuleSettings settings = startupSettings();
    ProgrammingSession session([fake](const PortOpened &done) { QThread::msleep(60); fake(done); },
                               [&settings] { return settings; });
    session.startProgramming();
    QTRY_VERIFY_WITH_TIMEOUT(line->writes >= 2, 3000);
    session.stop();
    // Counted from the tick instead, it would be 240 ms; a busy machine
    // only makes a tick later.
    const qint64 gap = line->writtenAtMs[1] - line->writtenAtMs[0];
    QVERIFY2(gap >= 290, qPrintable(QString("%1 ms").arg(gap)));
}

void TestProgrammingRun::deviceServerConfirmsTheSteps_data()
{
    // Steps to a device server count once it has acknowledged them: a line
    // that dies silently swallows the rest, and the run must not succeed.
    QTest::addColumn<int>("acknowledged");
    QTest::addColumn<QString>("dutch");   // the window's box, under Details; empty: success
    QTest::newRow("every step confirmed") << 26 << QString();
    QTest::newRow("line died after step 8")
        << 8 << "8 van de 26 stappen hebben de seriële server bereikt: de KVR7314 is maar gedeeltelijk geprogrammeerd.";
    QTest::newRow("the last step unconfirmed") << 25 << "25 van de 26 stappen hebben de seriële server bereikt";
    QTest::newRow("none confirmed") << 0 << "De seriële server heeft geen van de 26 stappen bevestigd";
}

void TestProgrammingRun::deviceServerConfirmsTheSteps()
{
    QFETCH(int, acknowledged);
    QFETCH(QString, dutch);
    Session s;
    s.line->acknowledgedWrites = acknowledged;
    s.session.startProgramming();
    s.tick(60);
    QCOMPARE(s.line->writes, kProgrammingStepCount);   // the pace does not wait for acknowledgements
    QVERIFY(!s.session.isRunning());
    QCOMPARE(s.session.stepsSent(), acknowledged);
    QCOMPARE(s.finished, dutch.isEmpty() ? 1 : 0);
    QCOMPARE(s.failures.size(), dutch.isEmpty() ? 0 : 1);

    WindowHarness h;
    h.line->acknowledgedWrites = acknowledged;
    h.window->startProgramming();
    for (int t = 0; t < 60; ++t)
        h.window->programmingSession().programmingTick();
    QCOMPARE(h.prompts.boxes.size(), 1);
    if (dutch.isEmpty()) {
        QCOMPARE(h.prompts.boxes[0].text, QString("De KVR7314 is geprogrammeerd.\r\r"));
        return;
    }
    QCOMPARE(h.prompts.boxes[0].title, QString("Communicatiefout!"));
    QVERIFY2(h.prompts.boxes[0].details.contains(dutch), qPrintable(h.prompts.boxes[0].details));
    QVERIFY(!h.window->isBusy());

    // A test call the server does not confirm is no success either.
    h.line->acknowledgedWrites = 0;
    h.window->sendTestCall();
    QTRY_COMPARE(h.prompts.boxes.size(), 2);
    QCOMPARE(h.prompts.boxes[1].title, QString("Communicatiefout!"));
}

void TestProgrammingRun::windowShowsTheRun()
{
    WindowHarness h;
    auto *pauze = h.child<QTimer>("Tmr_Pauze");
    // What the user sees while the box is open: the run is over, the
    // buttons are not back yet.
    bool checkedInBox = false;
    h.prompts.onBox = [&](const RecordedBox &) {
        checkedInBox = true;
        QVERIFY(!pauze->isActive());
        QVERIFY(!h.writeLedShown());
        QVERIFY(!h.child<QLabel>("lblDataUIT")->isEnabled());
        QVERIFY(h.buttonsEnabled(false));
    };
    h.child<QLineEdit>("Timer_Scroll_LCD")->setText("0");
    h.window->startProgramming();
    QVERIFY(h.window->isBusy());
    QVERIFY(h.buttonsEnabled(false));
    QVERIFY(h.child<QLabel>("lblDataUIT")->isEnabled());
    QVERIFY(pauze->isActive());
    QCOMPARE(h.child<QLineEdit>("Timer_Scroll_LCD")->text(), QString("350"));   // normalised before the first tick

    for (int t = 1; t <= 53; ++t) {
        h.window->programmingSession().programmingTick();
        QCOMPARE(h.writeLedShown(), t % 2 == 0);
    }
    QVERIFY(h.prompts.boxes.isEmpty());
    h.window->programmingSession().programmingTick();
    QVERIFY(checkedInBox);
    QCOMPARE(h.prompts.boxes.size(), 1);
    QCOMPARE(h.prompts.boxes[0].title, QString("KVR7314"));
    QCOMPARE(h.prompts.boxes[0].icon, BoxIcon::Information);
    QCOMPARE(h.prompts.boxes[0].text, QString("De KVR7314 is geprogrammeerd.\r\r"));
    QVERIFY(!h.window->isBusy());
    QVERIFY(h.buttonsEnabled(true));
    for (const char *name : {"Timer_RelaisTijd", "Timer_Wis_Lichtkrant", "Timer_WisMelding_LCD", "Timer_Backlight"})
        QCOMPARE(h.child<QLineEdit>(name)->text(), QString("0000"));
    QCOMPARE(h.child<QLineEdit>("Timer_Scroll_LCD")->text(), QString("0350"));
    QCOMPARE(h.window->settings().aliases[0], QString());
}

void TestProgrammingRun::windowPortFailures_data()
{
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("failingStep");
    QTest::addColumn<QString>("text");
    QTest::newRow("cannot be opened") << false << 0 << kOpenFailureCom3;
    QTest::newRow("fails at step 9") << true << 9
                                     << "Er is een fout opgetreden bij het schrijven naar de KVR7314 !\r"
                                        "Controleer de verbinding en programmeer de KVR7314 opnieuw.";
}

void TestProgrammingRun::windowPortFailures()
{
    QFETCH(bool, opens);
    QFETCH(int, failingStep);
    QFETCH(QString, text);
    WindowHarness h;
    h.child<QCheckBox>("ChkCOM3")->click();
    h.child<QLineEdit>("Txt_Alias02")->setText("BEWAARD");
    h.line->opens = opens;
    h.line->failOnWrite = failingStep;
    h.window->startProgramming();
    ModuleSettings before = h.window->settings();

    bool timerStoppedAtBox = false;
    h.prompts.onBox = [&](const RecordedBox &) { timerStoppedAtBox = !h.timerRunning("Tmr_Pauze"); };
    for (int t = 0; t < 60; ++t)
        h.window->programmingSession().programmingTick();
    QCOMPARE(h.line->devices, QStringList{fakeDevice(3)});
    QCOMPARE(h.prompts.boxes.size(), 1);   // never the success box
    QCOMPARE(h.prompts.boxes[0].title, QString("Communicatiefout!"));
    QCOMPARE(h.prompts.boxes[0].icon, BoxIcon::Error);
    QCOMPARE(h.prompts.boxes[0].text, text);
    QVERIFY(timerStoppedAtBox);

    // Abandoned, not ended: the window is idle again with the same settings.
    QVERIFY(!h.window->isBusy());
    QVERIFY(h.buttonsEnabled(true));
    QVERIFY(!h.writeLedShown());
    QVERIFY(!h.child<QLabel>("lblDataUIT")->isEnabled());
    ModuleSettings now = h.window->settings();
    for (QString ModuleSettings::*timer : kTimers)
        now.*timer = before.*timer;  // padded by steps already sent
    QCOMPARE(now, before);
}

void TestProgrammingRun::testCallAndNotice_data()
{
    QTest::addColumn<bool>("pocsag");
    QTest::addColumn<QString>("capcode");
    QTest::addColumn<QString>("ric");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray defaultText = "TESTOPROEP NAAR DE KVR7314";
    QTest::newRow("start-up values") << false << "" << "" << "" << QByteArray("\x01(1)" + defaultText + "\x04");
    QTest::newRow("FLEX 3 TEST") << false << "3" << "5D" << "TEST" << QByteArray("\x01(3)TEST\x04");
    QTest::newRow("POCSAG 7D: capcode not read") << true << "12" << "7D" << "" << QByteArray("\x01(7D)" + defaultText + "\x04");
    QTest::newRow("one space is a message") << false << "16" << "" << " " << QByteArray("\x01(16) \x04");
    QTest::newRow("long message in full") << true << "" << "2D" << QString(40, 'x') << QByteArray("\x01(2D)" + QByteArray(40, 'x') + "\x04");
    QTest::newRow("é") << false << "" << "" << QStringLiteral("café") << QByteArray("\x01(1)caf\xE9\x04");
}

void TestProgrammingRun::testCallAndNotice()
{
    QFETCH(bool, pocsag);
    QFETCH(QString, capcode);
    QFETCH(QString, ric);
    QFETCH(QString, message);
    QFETCH(QByteArray, expected);

    WindowHarness h;
    if (pocsag)
        h.child<QCheckBox>("ChkOntvanger_Pocsag")->click();
    if (!capcode.isEmpty())
        h.child<QComboBox>("CbxCapcode")->setCurrentText(capcode);
    if (!ric.isEmpty())
        h.child<QComboBox>("CbxRIC")->setCurrentText(ric);
    h.child<QLineEdit>("Txt_Testbericht")->setText(message);

    // Twice: each click opens the port anew and sends the same frame.
    h.click("CmdTest_Bericht");
    h.click("CmdTest_Bericht");
    QCOMPARE(h.line->written, expected + expected);
    QCOMPARE(h.line->openings, 2);

    h.line->written.clear();
    h.window->sendNoNetworkNotice();
    QCOMPARE(h.line->written, noNetworkFrame());
    QCOMPARE(h.line->openings, 3);
    QVERIFY(h.prompts.boxes.isEmpty());
    QVERIFY(!h.window->isBusy());
    QCOMPARE(h.child<QLineEdit>("Txt_Testbericht")->text(), message);
}

void TestProgrammingRun::testCallPortFailures()
{
    WindowHarness h;
    h.child<QCheckBox>("ChkCOM3")->click();
    h.line->opens = false;
    h.window->sendTestCall();
    h.window->sendNoNetworkNotice();
    QCOMPARE(h.prompts.boxes.size(), 2);
    for (const RecordedBox &box : h.prompts.boxes) {
        QCOMPARE(box.title, QString("Communicatiefout!"));
        QCOMPARE(box.text, kOpenFailureCom3);
    }
    QVERIFY(h.line->written.isEmpty());
    QVERIFY(h.buttonsEnabled(true));

    h.line->opens = true;
    h.line->failOnWrite = 1;
    h.line->failSignals = 4;
    h.window->sendTestCall();
    QCOMPARE(h.prompts.boxes.size(), 3);
    QCOMPARE(h.prompts.boxes[2].title, QString("Communicatiefout!"));
    QVERIFY(h.prompts.boxes[2].text.startsWith("Er is een fout opgetreden bij het schrijven"));
    QVERIFY(!h.window->isBusy());
    QVERIFY(h.buttonsEnabled(true));
}

QTEST_MAIN(TestProgrammingRun)
#include "tst_programmingrun.moc"
