// "schrijven" then "lezen" against the simulated module on a pseudo-terminal,
// through the real QSerialPort and the window's own timers: what was written
// into the module comes back into the window, and a silent module changes
// nothing.

#include "app/mainwindow.h"
#include "support/ptymodule.h"
#include "support/scriptedprompts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

ModuleSettings toProgram()
{
    ModuleSettings s = startupSettings();
    for (int i = 0; i < kAliasCount; ++i)
        s.aliases[i] = QStringLiteral("Post %1 \u00e9\u00e9n").arg(i + 1);
    s.aliases[3].clear();                       // goes to the module as "CAPCODE 04"
    s.aliases[15] = QString(kTextLimit, 'Z');
    s.couplingText = " >>> ";
    s.idleText = "GEEN MELDING";
    s.aliasColour = "181";
    s.couplingColour = "183";
    s.messageColour = "176";
    s.scrollSpeed = "195";
    s.relayTime = "10";
    s.signClearTime = "30";
    s.lcdClearTime = "60";
    s.backlightTime = "9999";
    s.scrollTime = "350";
    return s;
}

// Different from toProgram() in every field the dump carries.
ModuleSettings editedAfterwards()
{
    ModuleSettings s = startupSettings();
    for (int i = 0; i < kAliasCount; ++i)
        s.aliases[i] = QStringLiteral("gewijzigd %1").arg(i + 1);
    s.couplingText = "anders";
    s.idleText = "ook anders";
    s.aliasColour = "176";
    s.couplingColour = "176";
    s.messageColour = "183";
    s.scrollSpeed = "192";
    s.relayTime = "1";
    s.signClearTime = "2";
    s.lcdClearTime = "3";
    s.backlightTime = "4";
    s.scrollTime = "5";
    return s;
}

struct Setup {
    Setup() : window(WindowServices{&prompts, &clock, pty.comDevice(), {}}) {}
    PtyModule pty;
    ScriptedPrompts prompts;
    FixedClock clock;
    MainWindow window;

    void press(const char *button) { window.findChild<QPushButton *>(button)->click(); }
    bool waitForBoxes(int count, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return prompts.boxes.size() >= count; }, timeoutMs);
    }
};

} // namespace

class TestReadBackEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void whatWasWrittenComesBack();
    void silentModuleChangesNothing();
};

void TestReadBackEndToEnd::whatWasWrittenComesBack()
{
    Setup s;
    QVERIFY(s.pty.isOpen());
    s.window.showSettings(toProgram());
    s.press("CmdPRG_Module");
    QVERIFY(s.waitForBoxes(1, 15000));
    QCOMPARE(s.prompts.boxes[0].text, QString("De KVR7314 is geprogrammeerd.\r\r"));

    s.window.showSettings(editedAfterwards());
    bool busyUnderBox = false;
    s.prompts.onBox = [&](const RecordedBox &) { busyUnderBox = s.window.isBusy(); };
    QElapsedTimer clickToBox;
    clickToBox.start();
    s.press("CmdLeesModule");
    QVERIFY(s.window.isBusy());
    QVERIFY(s.waitForBoxes(2, 20000));
    const qint64 elapsed = clickToBox.elapsed();

    QCOMPARE(s.prompts.boxes[1].title, QString("KVR7314"));
    QCOMPARE(s.prompts.boxes[1].text, QString("De data uit de KVR7314 is ingelezen.\r\r\r"));
    QVERIFY(busyUnderBox);
    QVERIFY(!s.window.isBusy());
    // The parse comes 12 s after the first character, not before (a coarse
    // timer may fire up to 5 % early).
    QVERIFY2(elapsed >= 11400 && elapsed < 14000, qPrintable(QString::number(elapsed)));

    ModuleSettings expected = toProgram();
    expected.aliases[3] = "CAPCODE 04";
    expected.relayTime = "0010";
    expected.signClearTime = "0030";
    expected.lcdClearTime = "0060";
    expected.firmwareVersion = "1.30";
    QCOMPARE(s.window.settings(), expected);
    QVERIFY(!s.window.findChild<QLabel *>("lbl_Versie")->isHidden());
    QVERIFY(!s.window.findChild<QLineEdit *>("Txt_Versie")->isHidden());
    QCOMPARE(s.pty.module().readRequests(), 1);
}

void TestReadBackEndToEnd::silentModuleChangesNothing()
{
    Setup s;
    QVERIFY(s.pty.isOpen());
    s.pty.module().behaviour.answers = false;
    s.window.showSettings(editedAfterwards());
    const ModuleSettings before = s.window.settings();

    s.press("CmdLeesModule");
    QVERIFY(s.waitForBoxes(1, 3000));
    QCOMPARE(s.prompts.boxes[0].title, QString("Foutmelding bij inlezen data"));
    QVERIFY(s.prompts.boxes[0].text.startsWith("              FOUTMELDING: Geen data kunnen lezen van de KVR7314.\r"));
    QCOMPARE(s.pty.module().readRequests(), 1);
    QCOMPARE(s.window.settings(), before);
    QVERIFY(!s.window.isBusy());
    QVERIFY(s.window.findChild<QLabel *>("lbl_Versie")->isHidden());
    QVERIFY(!s.window.findChild<QTimer *>("Tmr_Verwerken_Data")->isActive());
    QVERIFY(!s.window.findChild<QTimer *>("Tmr_Inlezen")->isActive());
    QTest::qWait(300);
    QCOMPARE(s.prompts.boxes.size(), 1);
}

QTEST_MAIN(TestReadBackEndToEnd)
#include "tst_readback_e2e.moc"
