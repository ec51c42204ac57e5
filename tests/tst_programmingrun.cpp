// The programming run, the test call and the no-network notice through the
// window, driven tick by tick without waiting: a fake port records every
// byte, and can refuse to open or fail a write like a pulled adapter.

#include "link/frames.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

} // namespace

class TestProgrammingRun : public QObject {
    Q_OBJECT
private slots:
    void init() { m_h = std::make_unique<WindowHarness>(); }
    void cleanup() { m_h.reset(); }

    void timeline();
    void defaultRunSendsEveryStep();
    void twoRunsInARow();
    void editsDuringARunReachLaterSteps();
    void timerBoxesShowWhatWasSent_data();
    void timerBoxesShowWhatWasSent();
    void portThatCannotBeOpened();
    void writeFailureEndsTheRun_data();
    void writeFailureEndsTheRun();

    void testCallAndNotice_data();
    void testCallAndNotice();
    void testCallPortFailures();

private:
    QLineEdit *edit(const char *name) { return m_h->child<QLineEdit>(name); }
    QTimer *pauze() { return m_h->child<QTimer>("Tmr_Pauze"); }
    void tick(int count = 1);
    QByteArray frames(const ModuleSettings &s, int from, int to);

    std::unique_ptr<WindowHarness> m_h;
};

void TestProgrammingRun::tick(int count)
{
    for (int i = 0; i < count; ++i)
        m_h->window->programmingTick();
}

QByteArray TestProgrammingRun::frames(const ModuleSettings &s, int from, int to)
{
    QByteArray bytes;
    for (int step = from; step <= to; ++step)
        bytes += programmingStepFrame(step, s);
    return bytes;
}

void TestProgrammingRun::timeline()
{
    m_h->window->startProgramming();
    QVERIFY(m_h->window->isBusy());
    QVERIFY(m_h->buttonsEnabled(false));
    QVERIFY(m_h->child<QLabel>("lblDataUIT")->isEnabled());
    QVERIFY(pauze()->isActive());
    QCOMPARE(pauze()->interval(), 150);

    ModuleSettings s = m_h->window->settings();
    for (int t = 1; t <= 53; ++t) {
        const qsizetype before = m_h->line->written.size();
        tick();
        const QByteArray sent = m_h->line->written.mid(before);
        // Step k goes out on tick 2k + 1; the LED is lit on the ticks between.
        const bool sendTick = t % 2 == 1;
        const int step = sendTick && t >= 3 ? (t - 1) / 2 : 0;
        QCOMPARE(sent, step ? programmingStepFrame(step, settingsAsSent(s)) : QByteArray());
        QVERIFY2(m_h->writeLedShown() == !sendTick, qPrintable(QString("tick %1").arg(t)));
        QCOMPARE(m_h->line->openings, t >= 3 ? 1 : 0);
        QVERIFY(m_h->prompts.boxes.isEmpty());
    }
    QCOMPARE(m_h->window->serialPort() != nullptr, true);
    tick();  // 54: 8.1 s after the click
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QVERIFY(!m_h->writeLedShown());
    QVERIFY(!pauze()->isActive());
    QVERIFY(!m_h->window->isBusy());
    tick(4);  // a stray tick after the run does nothing
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->line->openings, 1);
}

void TestProgrammingRun::defaultRunSendsEveryStep()
{
    // What the user sees while the box is open: the run is over, the
    // buttons are not back yet.
    bool checkedInBox = false;
    m_h->prompts.onBox = [&](const RecordedBox &) {
        checkedInBox = true;
        QVERIFY(!pauze()->isActive());
        QVERIFY(!m_h->writeLedShown());
        QVERIFY(!m_h->child<QLabel>("lblDataUIT")->isEnabled());
        QVERIFY(m_h->buttonsEnabled(false));
    };
    m_h->window->startProgramming();
    tick(54);

    ModuleSettings expected = startupSettings();
    normaliseTimers(expected);
    QCOMPARE(m_h->line->written.toHex(' '), frames(expected, 1, 26).toHex(' '));
    QCOMPARE(m_h->line->comPorts, QList<int>{1});
    QVERIFY(checkedInBox);
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->prompts.boxes[0].title, QString("KVR7314"));
    QCOMPARE(m_h->prompts.boxes[0].icon, BoxIcon::Information);
    QCOMPARE(m_h->prompts.boxes[0].text, QString("De KVR7314 is geprogrammeerd.\r\r"));
    QVERIFY(m_h->buttonsEnabled(true));
    for (const char *name : {"Timer_RelaisTijd", "Timer_Wis_Lichtkrant", "Timer_WisMelding_LCD",
                             "Timer_Backlight"})
        QCOMPARE(edit(name)->text(), QString("0000"));
    QCOMPARE(edit("Timer_Scroll_LCD")->text(), QString("0350"));
    // The empty aliases stay empty in the window.
    QCOMPARE(m_h->window->settings().aliases[0], QString());
}

void TestProgrammingRun::twoRunsInARow()
{
    m_h->window->startProgramming();
    tick(54);
    const QByteArray first = m_h->line->written;
    m_h->line->written.clear();

    m_h->window->startProgramming();
    tick(2);
    QVERIFY(m_h->line->written.isEmpty());
    QCOMPARE(m_h->line->openings, 1);
    tick();
    QCOMPARE(m_h->line->openings, 2);
    QCOMPARE(m_h->line->written, first.left(programmingStepFrame(1, m_h->window->settings()).size()));
    tick(51);
    QCOMPARE(m_h->line->written, first);
    QCOMPARE(m_h->prompts.boxes.size(), 2);
    QVERIFY(!m_h->window->isBusy());
}

void TestProgrammingRun::editsDuringARunReachLaterSteps()
{
    m_h->window->startProgramming();
    tick(9);  // steps 1..4 sent: colours, speed, aliases 1 and 2
    ModuleSettings expected = settingsAsSent(m_h->window->settings());

    edit("Txt_Alias01")->setText("TE LAAT");     // its step is gone
    edit("Txt_Alias05")->setText("BRANDWEER");   // step 7 is still to come
    edit("Txt_Koppeltekst")->setText("=>");
    m_h->child<QCheckBox>("ChkOntvanger_Pocsag")->click();  // alias 8..16 hidden, still sent
    edit("Txt_Alias03")->setText("");
    m_h->child<QCheckBox>("ChkCOM2")->click();          // the run keeps the port it opened
    tick(45);

    expected.aliases[4] = "BRANDWEER";
    expected.couplingText = "=>";
    expected.receiverType = ReceiverType::Pocsag;
    QCOMPARE(m_h->line->written.toHex(' '), frames(expected, 1, 26).toHex(' '));
    QCOMPARE(m_h->line->comPorts, QList<int>{1});
    QCOMPARE(m_h->window->settings().aliases[0], QString("TE LAAT"));
}

void TestProgrammingRun::timerBoxesShowWhatWasSent_data()
{
    QTest::addColumn<TimerField>("field");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("atStart");     // typed before the click
    QTest::addColumn<QString>("afterStart");  // after the normalisation
    QTest::addColumn<QString>("duringRun");   // typed before the step (null: no edit)
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("relay 5") << TimerField::Relay << 19 << "5" << "5" << QString() << QByteArray("0005");
    QTest::newRow("sign 12") << TimerField::SignClear << 20 << "12" << "12" << QString() << QByteArray("0012");
    QTest::newRow("lcd emptied before the run") << TimerField::LcdClear << 21 << "" << "0" << QString() << QByteArray("0000");
    QTest::newRow("backlight 9999") << TimerField::Backlight << 22 << "9999" << "9999" << QString() << QByteArray("9999");
    QTest::newRow("backlight emptied during the run")
        << TimerField::Backlight << 22 << "10" << "10" << QString("") << QByteArray();
    QTest::newRow("scroll 0000") << TimerField::Scroll << 23 << "0000" << "350" << QString() << QByteArray("0350");
    QTest::newRow("scroll 00") << TimerField::Scroll << 23 << "00" << "350" << QString() << QByteArray("0350");
    QTest::newRow("scroll edited during the run")
        << TimerField::Scroll << 23 << "350" << "350" << QString("7") << QByteArray("0007");
}

void TestProgrammingRun::timerBoxesShowWhatWasSent()
{
    QFETCH(TimerField, field);
    QFETCH(int, step);
    QFETCH(QString, atStart);
    QFETCH(QString, afterStart);
    QFETCH(QString, duringRun);
    QFETCH(QByteArray, sent);

    m_h->window->setTimerText(field, atStart);
    m_h->window->startProgramming();
    QCOMPARE(m_h->window->settings().timer(field), afterStart);

    tick(2 * step);  // up to the advance tick before the step
    QCOMPARE(m_h->window->settings().timer(field), afterStart);
    if (!duringRun.isNull())
        m_h->window->setTimerText(field, duringRun);
    const qsizetype before = m_h->line->written.size();
    tick();  // the step's send tick
    QCOMPARE(m_h->line->written.mid(before), moduleFrame(programmingStepCode(step), sent));
    QCOMPARE(m_h->window->settings().timer(field), QString::fromLatin1(sent));
}

void TestProgrammingRun::portThatCannotBeOpened()
{
    m_h->child<QCheckBox>("ChkCOM3")->click();
    edit("Txt_Alias02")->setText("BEWAARD");
    m_h->line->opens = false;
    m_h->window->startProgramming();
    const ModuleSettings before = m_h->window->settings();

    bool timerStoppedAtBox = false;
    m_h->prompts.onBox = [&](const RecordedBox &) { timerStoppedAtBox = !pauze()->isActive(); };
    tick(3);  // 450 ms after the click: step 1 would open the port
    QCOMPARE(m_h->line->openings, 1);
    QCOMPARE(m_h->line->comPorts, QList<int>{3});
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->prompts.boxes[0].title, QString("Communicatiefout!"));
    QCOMPARE(m_h->prompts.boxes[0].icon, BoxIcon::Error);
    QCOMPARE(m_h->prompts.boxes[0].text, kOpenFailureCom3);
    QVERIFY(timerStoppedAtBox);

    // Abandoned, not ended: the window is idle again with the same settings.
    QVERIFY(!m_h->window->isBusy());
    QVERIFY(m_h->buttonsEnabled(true));
    QVERIFY(!m_h->writeLedShown());
    QVERIFY(!m_h->child<QLabel>("lblDataUIT")->isEnabled());
    QCOMPARE(m_h->window->settings(), before);
    tick(60);
    QVERIFY(m_h->line->written.isEmpty());
    QCOMPARE(m_h->line->openings, 1);
    QCOMPARE(m_h->prompts.boxes.size(), 1);

    // The next attempt can succeed.
    m_h->line->opens = true;
    m_h->window->startProgramming();
    tick(54);
    QCOMPARE(m_h->prompts.boxes.last().text, QString("De KVR7314 is geprogrammeerd.\r\r"));
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
    m_h->line->failOnWrite = failingStep;
    m_h->line->failSignals = errorSignals;

    bool timerStoppedAtBox = false;
    m_h->prompts.onBox = [&](const RecordedBox &) { timerStoppedAtBox = !pauze()->isActive(); };
    m_h->window->startProgramming();
    const ModuleSettings before = m_h->window->settings();
    tick(2 * failingStep + 1);
    QCOMPARE(m_h->prompts.boxes.size(), 1);
    QCOMPARE(m_h->prompts.boxes[0].title, QString("Communicatiefout!"));
    QCOMPARE(m_h->prompts.boxes[0].icon, BoxIcon::Error);
    QCOMPARE(m_h->prompts.boxes[0].text,
             QString("Er is een fout opgetreden bij het schrijven naar de KVR7314 !\r"
                     "Controleer de verbinding en programmeer de KVR7314 opnieuw."));
    QVERIFY(timerStoppedAtBox);
    QVERIFY(!m_h->window->isBusy());
    QVERIFY(m_h->buttonsEnabled(true));
    QVERIFY(!m_h->writeLedShown());

    tick(60);
    QCOMPARE(m_h->prompts.boxes.size(), 1);   // never the success box
    QCOMPARE(m_h->line->writes, failingStep);   // nothing after the failing step
    QCOMPARE(m_h->line->written, frames(settingsAsSent(before), 1, failingStep - 1));
    ModuleSettings now = m_h->window->settings();
    for (TimerField field : kTimerFields)
        now.timer(field) = before.timer(field);  // padded by steps already sent
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

    if (pocsag)
        m_h->child<QCheckBox>("ChkOntvanger_Pocsag")->click();
    if (!capcode.isEmpty())
        m_h->child<QComboBox>("CbxCapcode")->setCurrentText(capcode);
    if (!ric.isEmpty())
        m_h->child<QComboBox>("CbxRIC")->setCurrentText(ric);
    edit("Txt_Testbericht")->setText(message);

    // Twice: each click opens the port anew and sends the same frame.
    m_h->child<QPushButton>("CmdTest_Bericht")->click();
    m_h->child<QPushButton>("CmdTest_Bericht")->click();
    QCOMPARE(m_h->line->written, expected + expected);
    QCOMPARE(m_h->line->openings, 2);

    m_h->line->written.clear();
    m_h->window->sendNoNetworkNotice();
    QCOMPARE(m_h->line->written, noNetworkFrame());
    QCOMPARE(m_h->line->openings, 3);
    QVERIFY(m_h->prompts.boxes.isEmpty());
    QVERIFY(!m_h->window->isBusy());
    QCOMPARE(edit("Txt_Testbericht")->text(), message);
}

void TestProgrammingRun::testCallPortFailures()
{
    m_h->child<QCheckBox>("ChkCOM3")->click();
    m_h->line->opens = false;
    m_h->window->sendTestCall();
    m_h->window->sendNoNetworkNotice();
    QCOMPARE(m_h->prompts.boxes.size(), 2);
    for (const RecordedBox &box : m_h->prompts.boxes) {
        QCOMPARE(box.title, QString("Communicatiefout!"));
        QCOMPARE(box.text, kOpenFailureCom3);
    }
    QVERIFY(m_h->line->written.isEmpty());
    QVERIFY(m_h->buttonsEnabled(true));

    m_h->line->opens = true;
    m_h->line->failOnWrite = 1;
    m_h->line->failSignals = 4;
    m_h->window->sendTestCall();
    QCOMPARE(m_h->prompts.boxes.size(), 3);
    QCOMPARE(m_h->prompts.boxes[2].title, QString("Communicatiefout!"));
    QVERIFY(m_h->prompts.boxes[2].text.startsWith("Er is een fout opgetreden bij het schrijven"));
    QVERIFY(!m_h->window->isBusy());
    QVERIFY(m_h->buttonsEnabled(true));
}

QTEST_MAIN(TestProgrammingRun)
#include "tst_programmingrun.moc"
