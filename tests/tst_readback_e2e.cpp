// "schrijven" then "lezen" against the simulated module on a pseudo-terminal,
// through the real QSerialPort and the window's own timers: what was written
// into the module comes back into the window, and a silent module changes
// nothing. And two operations at once in one program, each on a module of
// its own, as a run over many modules has them.

#include "files/operationlog.h"
#include "link/frames.h"
#include "operations/readoperation.h"
#include "operations/writeoperation.h"
#include "support/fixtures.h"
#include "support/ptymodule.h"
#include "support/windowharness.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

ModuleSettings toProgram()
{
    ModuleSettings s = startupSettings();
    setAliases(s, QStringLiteral("Post %1 \u00e9\u00e9n"));
    s.aliases[3].clear();                       // goes to the module as "CAPCODE 04"
    s.aliases[15] = QString(kTextLimit, 'Z');
    s.couplingText = " >>> ";
    s.idleText = "GEEN MELDING";
    setCodes(s, "181", "183", "176", "195");
    setTimers(s, {"10", "30", "60", "9999", "350"});
    return s;
}

// Different from toProgram() in every field the dump carries.
ModuleSettings editedAfterwards()
{
    ModuleSettings s = startupSettings();
    setAliases(s, QStringLiteral("gewijzigd %1"));
    s.couplingText = "anders";
    s.idleText = "ook anders";
    setCodes(s, "176", "176", "183", "192");
    setTimers(s, {"1", "2", "3", "4", "5"});
    return s;
}

} // namespace

class TestReadBackEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void whatWasWrittenComesBack();
    void silentModuleChangesNothing();
    void twoOperationsRunAtOnce();
};

void TestReadBackEndToEnd::whatWasWrittenComesBack()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    WindowHarness s(pty.comDevice());
    s.window->showSettings(toProgram());
    s.click("CmdPRG_Module");
    QVERIFY(s.waitForBoxes(1, 15000));
    QCOMPARE(s.prompts.boxes[0].text, QString("De KVR7314 is geprogrammeerd.\r\r"));

    s.window->showSettings(editedAfterwards());
    bool busyUnderBox = false;
    s.prompts.onBox = [&](const RecordedBox &) { busyUnderBox = s.window->isBusy(); };
    QElapsedTimer clickToBox;
    clickToBox.start();
    s.click("CmdLeesModule");
    QVERIFY(s.window->isBusy());
    QVERIFY(s.waitForBoxes(2, 20000));
    const qint64 elapsed = clickToBox.elapsed();

    QCOMPARE(s.prompts.boxes[1].title, QString("KVR7314"));
    QCOMPARE(s.prompts.boxes[1].text, QString("De data uit de KVR7314 is ingelezen.\r\r\r"));
    QVERIFY(busyUnderBox);
    QVERIFY(!s.window->isBusy());
    // The parse comes 12 s after the first character, not before (a coarse
    // timer may fire up to 5 % early).
    QVERIFY2(elapsed >= 11400 && elapsed < 14000, qPrintable(QString::number(elapsed)));

    ModuleSettings expected = toProgram();
    expected.aliases[3] = "CAPCODE 04";
    expected.relayTime = "0010";
    expected.signClearTime = "0030";
    expected.lcdClearTime = "0060";
    expected.firmwareVersion = "1.30";
    QCOMPARE(s.window->settings(), expected);
    QVERIFY(!s.child("lbl_Versie")->isHidden());
    QVERIFY(!s.child("Txt_Versie")->isHidden());
    QCOMPARE(pty.module().readRequests(), 1);
}

void TestReadBackEndToEnd::silentModuleChangesNothing()
{
    PtyModule pty;
    QVERIFY(pty.isOpen());
    WindowHarness s(pty.comDevice());
    pty.module().behaviour.answers = false;
    s.window->showSettings(editedAfterwards());
    const ModuleSettings before = s.window->settings();

    s.click("CmdLeesModule");
    QVERIFY(s.waitForBoxes(1, 3000));
    QCOMPARE(s.prompts.boxes[0].title, QString("Foutmelding bij inlezen data"));
    QVERIFY(s.prompts.boxes[0].text.startsWith("              FOUTMELDING: Geen data kunnen lezen van de KVR7314.\r"));
    QCOMPARE(pty.module().readRequests(), 1);
    QCOMPARE(s.window->settings(), before);
    QVERIFY(!s.window->isBusy());
    QVERIFY(s.child("lbl_Versie")->isHidden());
    QVERIFY(!s.timerRunning("Tmr_Verwerken_Data"));
    QVERIFY(!s.timerRunning("Tmr_Inlezen"));
    QTest::qWait(300);
    QCOMPARE(s.prompts.boxes.size(), 1);
}

void TestReadBackEndToEnd::twoOperationsRunAtOnce()
{
    PtyModule written;
    PtyModule read;
    QVERIFY(written.isOpen() && read.isOpen());
    read.module().setStored(settingsAsSent(editedAfterwards()));
    QTemporaryDir data;
    const OperationContext context = OperationContext::keptBy(QStringLiteral("tst_readback_e2e"), data.path());

    HeldSettings toWrite(toProgram());
    WriteOperation write(ModuleAccess::at(PortAddress::device(written.devicePath())), toWrite, context);
    HeldSettings intoThis;
    ReadBackSession::Options fast;
    fast.takeAllWaiting = true;
    fast.endWhenComplete = true;
    ReadOperation readBack(ModuleAccess::at(PortAddress::device(read.devicePath())), intoThis, context,
                           {fast, ReadOperation::Target::None, {}});
    QSignalSpy writeEnded(&write, &Operation::finished);
    QSignalSpy readEnded(&readBack, &Operation::finished);
    write.start();
    readBack.start();
    QVERIFY(write.isRunning() && readBack.isRunning());

    // The read ends while the write goes on, on the same event loop.
    QVERIFY(readEnded.wait(5000));
    QVERIFY(write.isRunning());
    QVERIFY(writeEnded.wait(15000));
    QVERIFY2(readBack.outcome().ok(), qPrintable(readBack.outcome().line));
    QVERIFY2(write.outcome().ok(), qPrintable(write.outcome().line));
    QCOMPARE(write.outcome().stepsSent, kProgrammingStepCount);
    QCOMPARE(intoThis.settings().aliases, read.module().stored().aliases);
    QCOMPARE(written.module().stored().aliases, settingsAsSent(toProgram()).aliases);
    QCOMPARE(written.module().readRequests(), 0);
    QCOMPARE(read.module().frames().size(), 1);   // the read request alone

    // Each left its own log line, on its own port, with a backup of its own.
    const QList<LogEntry> log = readLog(logPath(data.path()));
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0].operation, QString("read"));
    QCOMPARE(log[0].port, read.devicePath());
    QCOMPARE(log[0].firmware, QString("1.30"));
    QCOMPARE(log[1].operation, QString("write"));
    QCOMPARE(log[1].port, written.devicePath());
    QCOMPARE(log[1].stepsSent, kProgrammingStepCount);
    QVERIFY(log[0].ok && log[1].ok);
    QVERIFY(log[0].backup != log[1].backup);
    QCOMPARE(readSettingsFile(log[0].backup).update.values.aliases, read.module().stored().aliases);
    QCOMPARE(readSettingsFile(log[1].backup).update.values.aliases, toWrite.settings().aliases);
}

QTEST_MAIN(TestReadBackEndToEnd)
#include "tst_readback_e2e.moc"
